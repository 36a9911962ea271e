// The blocks of a data package: their entry names and the records they hold.
// A point block holds the points of one band of latitude, ascending; a name
// block holds the texts of the address keys of one level.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "kavrel/format/byte_order.h"

namespace kavrel {

// Bytes in one point record: lat u32, lon u32, P u8, C u16, extra u8, S u24.
inline constexpr std::uint32_t kPointRecordSize = 15;
// Bytes before the text of a name record: key u32, length u8.
inline constexpr std::uint32_t kNameRecordHeader = 5;
// Microdegrees of latitude in one band (0.01 degree).
inline constexpr std::uint32_t kBandHeight = 10000;
// Keys held by one S name block.
inline constexpr std::uint32_t kAreaKeysPerBlock = 1000;

// Name levels.
enum NameLevel : int { kLevelPref = 0, kLevelCity = 1, kLevelArea = 2 };

// The band of a latitude key: the key rounded down to a multiple of 10000.
inline std::uint32_t BandOf(std::uint32_t latKey) { return latKey / kBandHeight * kBandHeight; }

// Point block name of the band of latKey: band 35680000 gives
// "/L3/5/LLP35680000.gzbin" (no slash between L and the first digit).
std::u16string BuildPointBlockName(std::uint32_t latKey);

// Name block of a key at a level: "/P/000000.gzbin" for level 0 and
// "/C/000000.gzbin" for level 1, whatever the key; for level 2 (and any other
// level) "/S/%06u.gzbin" with the key rounded down to a multiple of 1000,
// more than six digits written in full.
std::u16string BuildNameBlockName(int level, std::uint32_t key);

// The band whose point block is named `name`: the band b for which
// BuildPointBlockName(b) is exactly `name`; nothing for any other name.
std::optional<std::uint32_t> PointBlockBand(std::u16string_view name);

// The first key of the name block of `level` named `name`: the key k, a
// multiple of 1000 (0 for levels 0 and 1), for which BuildNameBlockName(level,
// k) is exactly `name`; nothing for any other name.
std::optional<std::uint32_t> NameBlockFirstKey(int level, std::u16string_view name);

// One address point as a point block holds it: coordinate keys in
// microdegrees and the keys of its three names.
struct PointRecord {
  std::uint32_t latitude = 0;
  std::uint32_t longitude = 0;
  std::uint8_t prefecture = 0;
  std::uint16_t city = 0;
  std::uint8_t extra = 0;   // carried, never read by a lookup
  std::uint32_t area = 0;   // 24 bits

  bool operator==(const PointRecord& other) const;
};

// The order of records in a point block as kavrel-pack writes them:
// ascending latitude, ties broken by longitude, then the P, C and S keys, so
// that the same points always give the same bytes whatever order they came
// in. The lookup needs only the ascending latitude.
bool PointOrder(const PointRecord& a, const PointRecord& b);

// The record at `bytes` (at least kPointRecordSize bytes). Inline: the point
// loading reads millions of them.
inline PointRecord ReadPointRecord(const unsigned char* bytes) {
  return PointRecord{ReadU32(bytes), ReadU32(bytes + 4), bytes[8], ReadU16(bytes + 9), bytes[11],
                     ReadU24(bytes + 12)};
}

// Appends the 15-byte record of `point` to `block`. The S key keeps its low
// 24 bits.
void AppendPointRecord(std::string& block, const PointRecord& point);

// One record of a name block; `text` (code page 932 bytes) points into the
// block.
struct NameRecordView {
  std::uint32_t key = 0;
  std::string_view text;
};

// The name record at `offset` in `block`, advancing `offset` past it; nothing
// at the end of the block or when the record would run past it (`offset`
// then stays). Blocks are read in order and the first record of a key wins.
inline std::optional<NameRecordView> NextNameRecord(std::string_view block, std::size_t& offset) {
  if (block.size() - offset < kNameRecordHeader) return std::nullopt;
  const auto* record = reinterpret_cast<const unsigned char*>(block.data() + offset);
  const std::size_t length = record[4];
  if (block.size() - offset - kNameRecordHeader < length) return std::nullopt;
  NameRecordView view{ReadU32(record), block.substr(offset + kNameRecordHeader, length)};
  offset += kNameRecordHeader + length;
  return view;
}

// Appends a name record (key, length byte, text) to `block`. `text` must not
// be longer than 255 bytes.
void AppendNameRecord(std::string& block, std::uint32_t key, std::string_view text);

}  // namespace kavrel
