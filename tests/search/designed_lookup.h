// The lookup as the ring search defines it, for comparing the engine's
// faster paths against: the point list loaded by LoadPoints, the winner by
// RingSearch ring after ring, the names by LookupName.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "engine_app.h"

namespace kavrel::test {

// What a caller of ReverseGeocoding can see of one lookup, and the search
// parameters it leaves behind.
struct Lookup {
  std::int32_t code = 0;
  std::u16string text;  // empty unless code is 0
  std::int32_t step = 0, width = 0, bandRange = 0;

  bool operator==(const Lookup& other) const {
    return code == other.code && text == other.text && step == other.step && width == other.width &&
           bandRange == other.bandRange;
  }
};
std::ostream& operator<<(std::ostream& out, const Lookup& lookup);

// The designed lookup on `engine` (its package, parameters and preload
// state as they are).
Lookup DesignedLookup(CkavrelcoreApp& engine, double latitude, double longitude);
// The engine's own lookup.
Lookup EngineLookup(CkavrelcoreApp& engine, double latitude, double longitude);

}  // namespace kavrel::test
