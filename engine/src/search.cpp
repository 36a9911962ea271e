// The reverse geocoding search: coordinate keys, the binary search for a
// start point and the ring search around it.
#include "search.h"

#include <cstdint>
#include <cstdlib>
#include <string>

#include "blocks.h"
#include "engine_app.h"
#include "kavrel/platform/clock.h"

namespace kavrel {
namespace {

// Key difference as a signed 32-bit value, wrapping by definition.
std::int32_t SignedDifference(std::uint32_t a, std::uint32_t b) {
  return static_cast<std::int32_t>(a - b);
}

// 32-bit wrap-around sum and product of the search parameters.
std::int32_t WrappingAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
std::int32_t WrappingMultiply(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

void StoreElapsed(std::int32_t* elapsedMs, const platform::Stopwatch& stopwatch) {
  if (elapsedMs != nullptr) *elapsedMs = static_cast<std::int32_t>(stopwatch.ElapsedMilliseconds());
}

}  // namespace

std::uint32_t CoordinateKey(double degrees) {
  const double microdegrees = degrees * 1000000.0;
  // 2^63: beyond it, as for NaN, the hardware conversion gives
  // 0x8000000000000000, whose low 32 bits are 0.
  constexpr double kLimit = 9223372036854775808.0;
  if (!(microdegrees > -kLimit && microdegrees < kLimit)) return 0;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(microdegrees)));
}

std::int32_t FindStartIndex(std::int32_t n, const std::uint32_t* latitudes, std::uint32_t key) {
  std::int32_t lo = 0;
  std::int32_t hi = n;
  std::int32_t probe = 0;
  if (n <= 1) return 0;
  while (hi - lo > 1) {
    probe = lo + (hi - lo + 1) / 2;
    const std::uint32_t value = latitudes[probe];
    if (value == key) return probe;
    if (value > key) {
      hi = probe;
    } else {
      lo = probe;
    }
  }
  return probe;
}

std::int32_t CkavrelcoreApp::FindNearestPoint(std::uint32_t latKey, std::uint32_t lonKey,
                                              AddressKey& found) {
  constexpr std::int32_t kNotFound = -1005;
  LoadPoints(latKey);
  // Step and width are read only now: the load may have reset them.
  const std::int32_t n = m_nPointCount;
  const std::int32_t step = m_nStep;
  const std::int32_t width = m_nWidth;
  if (n == 0 || width <= 0) return kNotFound;

  const std::uint32_t* latitudes = m_pLatitudes.data();
  std::uint32_t* longitudes = m_pLongitudes.data();
  const std::int32_t start = FindStartIndex(n, latitudes, latKey);
  std::int32_t lo = start;
  std::int32_t hi = start;
  std::int32_t radius = step;
  const std::int64_t limit = WrappingMultiply(width, step);
  std::int32_t best = -1;
  std::int64_t bestDistance = 99999999;

  for (std::int32_t ring = 0; ring < width; ++ring) {
    // The window grows until it holds the first point beyond the radius on
    // each side; those boundary points are scanned too, so a point outside
    // the radius in latitude can still win on longitude.
    while (lo > 0 && SignedDifference(latKey, latitudes[lo]) <= radius) --lo;
    while (hi < n - 1 && SignedDifference(latitudes[hi], latKey) <= radius) ++hi;

    for (std::int32_t i = lo; i <= hi; ++i) {
      if (longitudes[i] == 0) continue;  // set aside earlier
      // Only the longitude difference decides; 64 bits so that the absolute
      // value of the most negative difference cannot overflow.
      const std::int64_t distance = std::llabs(SignedDifference(longitudes[i], lonKey));
      // Strictly smaller: on a tie the lowest index, the southernmost, wins.
      if (distance <= radius && distance < bestDistance) {
        best = i;
        bestDistance = distance;
      }
      // Beyond the last ring's radius this point can never qualify.
      if (distance > limit) longitudes[i] = 0;
    }
    // The first ring with any candidate ends the search.
    if (best >= 0) {
      found = m_pAddressKeys[static_cast<std::size_t>(best)];
      return 0;
    }
    radius = WrappingAdd(radius, step);
  }
  return kNotFound;
}

std::int32_t CkavrelcoreApp::ReverseGeocode(double latitude, double longitude,
                                            std::u16string& address, std::int32_t* elapsedMs) {
  const std::uint32_t latKey = CoordinateKey(latitude);
  const std::uint32_t lonKey = CoordinateKey(longitude);
  if (elapsedMs != nullptr) *elapsedMs = 0;
  const platform::Stopwatch stopwatch;

  AddressKey keys;
  const std::int32_t result = FindNearestPoint(latKey, lonKey, keys);
  if (result != 0) {
    StoreElapsed(elapsedMs, stopwatch);
    return result;
  }

  // A missing name leaves its part empty; both separators always stand.
  std::u16string name;
  address.clear();
  LookupName(kLevelPref, keys.nPref, name);
  address += name;
  address += m_strSeparator;
  LookupName(kLevelCity, keys.nCity, name);
  address += name;
  address += m_strSeparator;
  LookupName(kLevelArea, keys.nArea, name);
  address += name;
  StoreElapsed(elapsedMs, stopwatch);
  return 0;
}

}  // namespace kavrel
