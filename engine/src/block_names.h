// The address names of a package whose file was read whole, as UTF-8 texts
// for the kavrel_ interface: each name block decoded by the first lookup
// that needs one of its names, once, from any number of threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kavrel/format/data_package.h"
#include "once.h"

namespace kavrel {

class BlockNames {
public:
  // The name blocks of `package`, which must outlive this and not change;
  // nothing is decoded yet.
  explicit BlockNames(const CDataPackage& package);

  // The name of `key` at `level` (0 P, 1 C, 2 S) as ReverseGeocoding gives
  // it, in UTF-8: the first record of the key in its block, cut at its first
  // null; "" when the block or the key is missing, the record is empty or
  // the block does not decode. Valid while this lives. Throws
  // std::bad_alloc, and std::runtime_error when code page 932 cannot be
  // converted.
  const char* Text(int level, std::uint32_t key) const;

  // Asks ahead for the memory Text(level, key) reads last, its entry in its
  // decoded block; nothing when the block is not decoded yet. Never throws.
  void Prefetch(int level, std::uint32_t key) const;

private:
  // One decoded block: the text of key k of the block at offsets[k] in
  // texts, every text followed by a null; offset 0 is the empty text.
  struct Block {
    std::string texts;
    std::vector<std::uint32_t> offsets;
  };
  struct Level {
    std::uint32_t keysPerBlock = 1;
    std::vector<std::int32_t> slotOfBlock;  // -1: no such block
  };

  // The slot of the block that holds `key`, or -1 when there is none.
  static std::int32_t SlotOf(const Level& names, std::uint32_t key);
  Block Decode(std::uint32_t keysPerBlock, std::uint32_t firstKey, std::int32_t entry) const;

  const CDataPackage& m_package;
  Level m_levels[3];
  std::vector<std::int32_t> m_entries;     // the entry of each slot
  std::vector<std::uint32_t> m_firstKeys;  // the first key of each slot's block
  std::unique_ptr<Once<Block>[]> m_slots;
};

}  // namespace kavrel
