// Coordinate keys, the search parameters and the binary search over the
// point list.
#pragma once

#include <cstdint>

namespace kavrel {

// Degrees to a microdegree key: degrees * 1e6 truncated toward zero to 64
// bits, low 32 bits kept. NaN or a product beyond the 64-bit range gives 0.
std::uint32_t CoordinateKey(double degrees);

// A microdegree key as decimal degrees: key / 1e6.
inline double KeyDegrees(std::uint32_t key) { return key / 1e6; }

// 32-bit wrap-around sum and product of search parameters, as the search
// defines them (done unsigned, where wrapping is defined).
inline std::int32_t WrappingAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
inline std::int32_t WrappingMultiply(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// The search parameters, all 0 until SetStep is called.
struct SearchParameters {
  std::int32_t step = 0;       // growth of the search radius per ring, in microdegrees
  std::int32_t width = 0;      // number of rings
  std::int32_t bandRange = 0;  // latitude bands loaded on each side of the query's band
};

// The step and width the library searches with until SetStep sets a band
// range (and in place of a step or width of 0 or less given to it).
inline constexpr std::int32_t kStartStep = 100;
inline constexpr std::int32_t kStartWidth = 300;

// The parameters that SetStep(step, width) sets.
SearchParameters StepParameters(std::int32_t step, std::int32_t width);

// The parameters a search runs with: `set` as it is, or kStartStep, kStartWidth
// and band range 1 when its band range is below 1 (SetStep never called, or
// a step times width below 30000), since one band alone would miss points
// just across its edge.
SearchParameters EffectiveParameters(const SearchParameters& set);

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
