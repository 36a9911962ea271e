// The address keys of one point, as the point lists and the search index
// keep them.
#pragma once

#include <cstdint>

#include "kavrel/format/blocks.h"

namespace kavrel {

// The three address keys of a point and its extra byte.
struct AddressKey {
  std::uint8_t nExtra = 0;  // carried, never read
  std::uint8_t nPref = 0;   // P key
  std::uint16_t nCity = 0;  // C key
  std::uint32_t nArea = 0;  // S key (24 bits)
};

inline AddressKey AddressKeyOf(const PointRecord& point) {
  return AddressKey{point.extra, point.prefecture, point.city, point.area};
}

// The key of `level` (kLevelPref, kLevelCity, kLevelArea; any other level
// counts as kLevelArea, as in the name block names).
inline std::uint32_t LevelKey(const AddressKey& keys, int level) {
  return level == kLevelPref ? keys.nPref : level == kLevelCity ? keys.nCity : keys.nArea;
}

}  // namespace kavrel
