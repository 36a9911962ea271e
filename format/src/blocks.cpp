#include "kavrel/format/blocks.h"

#include <cstdio>
#include <limits>
#include <string>
#include <tuple>

namespace kavrel {
namespace {

// The names are plain ASCII, so widening byte by byte is exact.
std::u16string Widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// The decimal number between the first `marker` and the ".gzbin" that ends
// `name`: an optional minus sign and one to ten digits.
std::optional<std::int64_t> NumberAfter(std::u16string_view name, std::u16string_view marker) {
  constexpr std::u16string_view kSuffix = u".gzbin";
  const std::size_t start = name.find(marker);
  if (start == std::u16string_view::npos || name.size() < start + marker.size() + kSuffix.size() ||
      name.substr(name.size() - kSuffix.size()) != kSuffix) {
    return std::nullopt;
  }
  const std::size_t first = start + marker.size();
  std::u16string_view digits = name.substr(first, name.size() - kSuffix.size() - first);
  const bool negative = !digits.empty() && digits.front() == u'-';
  if (negative) digits.remove_prefix(1);
  if (digits.empty() || digits.size() > 10) return std::nullopt;
  std::int64_t value = 0;
  for (const char16_t c : digits) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
  }
  return negative ? -value : value;
}

auto Tie(const PointRecord& p) {
  return std::tie(p.latitude, p.longitude, p.prefecture, p.city, p.area, p.extra);
}

}  // namespace

std::u16string BuildPointBlockName(std::uint32_t latKey) {
  // Written with %d as the packages were built; the keys in use are below
  // 2^31, and a larger one keeps the two's-complement text the format gives.
  const std::string band = std::to_string(static_cast<std::int32_t>(BandOf(latKey)));
  std::string name = "/L";
  name += band[0];
  name += '/';
  // A one-digit band leaves the second directory level empty ("/L0//LLP0").
  if (band.size() > 1) name += band[1];
  name += "/LLP";
  name += band;
  name += ".gzbin";
  return Widen(name);
}

std::u16string BuildNameBlockName(int level, std::uint32_t key) {
  const char* letter = "S";
  std::uint32_t number = key / kAreaKeysPerBlock * kAreaKeysPerBlock;
  if (level == kLevelPref) {
    letter = "P";
    number = 0;
  } else if (level == kLevelCity) {
    letter = "C";
    number = 0;
  }
  char text[32];
  std::snprintf(text, sizeof text, "/%s/%06u%s", letter, static_cast<unsigned>(number), ".gzbin");
  return Widen(text);
}

std::optional<std::uint32_t> PointBlockBand(std::u16string_view name) {
  const std::optional<std::int64_t> number = NumberAfter(name, u"/LLP");
  if (!number || *number < std::numeric_limits<std::int32_t>::min() ||
      *number > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  // Bands are written as signed numbers (see BuildPointBlockName).
  const auto band = static_cast<std::uint32_t>(static_cast<std::int32_t>(*number));
  if (BuildPointBlockName(band) != name) return std::nullopt;
  return band;
}

std::optional<std::uint32_t> NameBlockFirstKey(int level, std::u16string_view name) {
  const std::u16string_view marker = level == kLevelPref ? u"/P/" : level == kLevelCity ? u"/C/" : u"/S/";
  const std::optional<std::int64_t> number = NumberAfter(name, marker);
  if (!number || *number < 0 || *number > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  const auto key = static_cast<std::uint32_t>(*number);
  if (BuildNameBlockName(level, key) != name) return std::nullopt;
  return key;
}

bool PointRecord::operator==(const PointRecord& other) const { return Tie(*this) == Tie(other); }

bool PointOrder(const PointRecord& a, const PointRecord& b) { return Tie(a) < Tie(b); }

void AppendPointRecord(std::string& block, const PointRecord& point) {
  AppendLittleEndian(block, point.latitude, 4);
  AppendLittleEndian(block, point.longitude, 4);
  AppendLittleEndian(block, point.prefecture, 1);
  AppendLittleEndian(block, point.city, 2);
  AppendLittleEndian(block, point.extra, 1);
  AppendLittleEndian(block, point.area & 0xFFFFFF, 3);
}

void AppendNameRecord(std::string& block, std::uint32_t key, std::string_view text) {
  AppendLittleEndian(block, key, 4);
  AppendLittleEndian(block, static_cast<std::uint32_t>(text.size()), 1);
  block.append(text);
}

}  // namespace kavrel
