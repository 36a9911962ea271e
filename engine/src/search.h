// Coordinate keys and the binary search over the point list.
#pragma once

#include <cstdint>

namespace kavrel {

// Degrees to a microdegree key: degrees * 1e6 truncated toward zero to 64
// bits, low 32 bits kept. NaN or a product beyond the 64-bit range gives 0.
std::uint32_t CoordinateKey(double degrees);

// A microdegree key as decimal degrees: key / 1e6.
inline double KeyDegrees(std::uint32_t key) { return key / 1e6; }

// The step, width and band range that SetStep(step, width) sets.
struct SearchParameters {
  std::int32_t step;
  std::int32_t width;
  std::int32_t bandRange;
};
SearchParameters StepParameters(std::int32_t step, std::int32_t width);

// Index in the ascending latitudes[0..n) of an exact match of key, or of the
// last point probed by the binary search (just below or above the key);
// 0 when n <= 1.
std::int32_t FindStartIndex(std::int32_t n, const std::uint32_t* latitudes, std::uint32_t key);

// FindStartIndex's probes over positions [0, n), with `compare(probe)` telling
// whether the latitude there is below the key (negative), equal (0) or above
// it (positive): the same answer from whatever tells the order.
template <typename Compare>
std::int32_t FindStartIndexBy(std::int32_t n, Compare compare) {
  std::int32_t lo = 0;
  std::int32_t hi = n;
  std::int32_t probe = 0;
  if (n <= 1) return 0;
  while (hi - lo > 1) {
    probe = lo + (hi - lo + 1) / 2;
    const int order = compare(probe);
    if (order == 0) return probe;
    if (order > 0) {
      hi = probe;
    } else {
      lo = probe;
    }
  }
  return probe;
}

}  // namespace kavrel
