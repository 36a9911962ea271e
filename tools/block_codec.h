// Contents of the point and name blocks, encoded and decoded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel::pack {

// One address point as a point block holds it: coordinate keys in
// microdegrees and the keys of its three names.
struct PointRecord {
  std::uint32_t latitude = 0;
  std::uint32_t longitude = 0;
  std::uint8_t prefecture = 0;
  std::uint16_t city = 0;
  std::uint8_t extra = 0;
  std::uint32_t area = 0;  // 24 bits

  bool operator==(const PointRecord& other) const;
};

// The order of records in a point block: ascending latitude, ties broken by
// longitude, then the P, C and S keys, so that the same points always give
// the same bytes whatever order they came in.
bool PointOrder(const PointRecord& a, const PointRecord& b);

// The key of a coordinate in decimal degrees: rounded to the nearest
// microdegree, as 32 bits (a negative value wraps around, as the engine's
// own conversion does). `degrees` must be finite and within +-180.
std::uint32_t MicrodegreeKey(double degrees);

// Appends the 15-byte little-endian record of `point` to `block`. The S key
// keeps its low 24 bits.
void AppendPointRecord(std::string& block, const PointRecord& point);

// The record at `bytes` (at least 15 bytes).
PointRecord ReadPointRecord(const unsigned char* bytes);

// One record of a name block.
struct NameRecord {
  std::uint32_t key = 0;
  std::string text;  // code page 932 bytes
};

// Appends a name record (key, length byte, text) to `block`. `text` must not
// be longer than 255 bytes.
void AppendNameRecord(std::string& block, std::uint32_t key, std::string_view text);

// The records of a name block, in block order. Stops at the first record that
// would run past the end, as the engine's scan does, and then sets
// `complete` to false.
std::vector<NameRecord> ReadNameBlock(std::string_view block, bool& complete);

}  // namespace kavrel::pack
