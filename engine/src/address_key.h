// The address keys of one point, as the point records carry them.
#pragma once

#include <cstdint>

namespace kavrel {

// The three address keys of a point and its extra byte.
struct AddressKey {
  std::uint8_t nExtra = 0;  // record offset 11; carried, never read
  std::uint8_t nPref = 0;   // P key, record offset 8
  std::uint16_t nCity = 0;  // C key, record offsets 9-10
  std::uint32_t nArea = 0;  // S key, record offsets 12-14
};

}  // namespace kavrel
