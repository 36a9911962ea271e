#include "block_codec.h"

#include <cmath>
#include <tuple>

#include "byte_order.h"

namespace kavrel::pack {

namespace {

auto Tie(const PointRecord& p) {
  return std::tie(p.latitude, p.longitude, p.prefecture, p.city, p.area, p.extra);
}

}  // namespace

bool PointRecord::operator==(const PointRecord& other) const { return Tie(*this) == Tie(other); }

bool PointOrder(const PointRecord& a, const PointRecord& b) { return Tie(a) < Tie(b); }

std::uint32_t MicrodegreeKey(double degrees) {
  // Rounding, not truncation: 35.681236 * 1e6 is 35681235.99999... in binary,
  // and truncating would give the key below the one written.
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::llround(degrees * 1e6)));
}

void AppendPointRecord(std::string& block, const PointRecord& point) {
  AppendLittleEndian(block, point.latitude, 4);
  AppendLittleEndian(block, point.longitude, 4);
  AppendLittleEndian(block, point.prefecture, 1);
  AppendLittleEndian(block, point.city, 2);
  AppendLittleEndian(block, point.extra, 1);
  AppendLittleEndian(block, point.area & 0xFFFFFF, 3);
}

PointRecord ReadPointRecord(const unsigned char* bytes) {
  PointRecord point;
  point.latitude = ReadU32(bytes);
  point.longitude = ReadU32(bytes + 4);
  point.prefecture = bytes[8];
  point.city = ReadU16(bytes + 9);
  point.extra = bytes[11];
  point.area = ReadU24(bytes + 12);
  return point;
}

void AppendNameRecord(std::string& block, std::uint32_t key, std::string_view text) {
  AppendLittleEndian(block, key, 4);
  AppendLittleEndian(block, static_cast<std::uint32_t>(text.size()), 1);
  block.append(text);
}

std::vector<NameRecord> ReadNameBlock(std::string_view block, bool& complete) {
  std::vector<NameRecord> records;
  const auto* bytes = reinterpret_cast<const unsigned char*>(block.data());
  std::size_t pos = 0;
  complete = true;
  while (pos < block.size()) {
    if (block.size() - pos < 5 || block.size() - pos - 5 < bytes[pos + 4]) {
      complete = false;
      break;
    }
    const std::size_t length = bytes[pos + 4];
    records.push_back(NameRecord{ReadU32(bytes + pos), std::string(block.substr(pos + 5, length))});
    pos += 5 + length;
  }
  return records;
}

}  // namespace kavrel::pack
