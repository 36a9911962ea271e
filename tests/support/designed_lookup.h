// The lookup as the ring search defines it, for comparing the engine's
// faster paths against: the point list loaded by LoadPoints, the winner by
// RingSearch ring after ring, the names by LookupName.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "engine_app.h"

namespace kavrel::test {

// What a caller of ReverseGeocoding can see of one lookup, and the point
// list's longitudes as the search left them (0 for the points it set aside).
struct Lookup {
  std::int32_t code = 0;
  std::u16string text;  // empty unless code is 0
  std::vector<std::uint32_t> longitudes;

  // The same answer; the point lists are compared apart.
  bool operator==(const Lookup& other) const { return code == other.code && text == other.text; }
};
std::ostream& operator<<(std::ostream& out, const Lookup& lookup);

// Degrees that give back exactly `key` as a coordinate key.
inline double Degrees(std::uint32_t key) { return (key + 0.5) / 1e6; }

// The designed lookup on `engine` (its package, parameters and preload
// state as they are).
Lookup DesignedLookup(CkavrelcoreApp& engine, double latitude, double longitude);
// The engine's own lookup; the longitudes are those of its point list, which
// a search answered by the index leaves as it was.
Lookup EngineLookup(CkavrelcoreApp& engine, double latitude, double longitude);

}  // namespace kavrel::test
