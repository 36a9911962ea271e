#include "blocks.h"

#include <cstdio>
#include <string>

namespace kavrel {
namespace {

// The names are plain ASCII, so widening byte by byte is exact.
std::u16string Widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

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

}  // namespace kavrel
