// The address names of a preloaded package as ready texts, so that a lookup
// neither scans a name block nor converts code page 932.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kavrel/format/data_package.h"

namespace kavrel {

class NameTable {
public:
  // An empty table: every Find answers "read the block".
  NameTable() = default;

  // Reads the P and C blocks and every S block of `package` that is in
  // memory (or holds no data at all). Throws std::bad_alloc, and
  // std::runtime_error when code page 932 cannot be converted.
  explicit NameTable(const CDataPackage& package);

  // The name LookupName gives for `key` at `level` (0 P, 1 C, 2 S) on the
  // package as it was read: the first record with the key in the block the
  // key's name points to, converted and cut at its first null; empty when
  // that block or the key is missing or the record has length 0. False when
  // the table cannot tell (the block was not in memory, or the key lies
  // beyond the keys a point record can carry): then LookupName must read it.
  // The text stays valid as long as the table.
  bool Find(int level, std::uint32_t key, std::u16string_view& text) const;

  // The same answer as Find in one word, to be kept beside a point: Text()
  // turns it into the text, and kUnknown stands for Find's false.
  static constexpr std::uint32_t kUnknown = 0xFFFFFFFF;
  std::uint32_t Slot(int level, std::uint32_t key) const;
  // The text of a slot other than kUnknown; valid as long as the table.
  std::u16string_view Text(std::uint32_t slot) const {
    return std::u16string_view(m_text.data() + (slot >> 8), slot & 0xFF);
  }

private:
  // The names of one level: keys grouped in blocks of keysPerBlock as the
  // block names group them, each key a slot holding its text's offset in
  // m_text times 256 plus its length (a name has at most 255 characters), so
  // 0 for an empty text.
  struct Level {
    std::uint32_t keysPerBlock = 0;
    std::vector<std::int32_t> firstSlot;  // by block number: an offset into slots, or kUnread, kAbsent
    std::vector<std::uint32_t> slots;
  };

  // Reads the blocks of one level: `entries` pairs each block number below
  // `blocks` that has an entry with the index of that entry.
  void ReadLevel(const CDataPackage& package, int level, std::uint32_t keysPerBlock, std::uint32_t blocks,
                 const std::vector<std::pair<std::uint32_t, std::int32_t>>& entries);

  Level m_levels[3];
  std::u16string m_text;
};

}  // namespace kavrel
