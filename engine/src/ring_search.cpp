#include "ring_search.h"

#include <cstdint>
#include <limits>
#include <optional>

#include "search.h"

namespace kavrel {
namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

}  // namespace

std::int32_t RingSearch(std::int32_t n, const std::uint32_t* latitudes, std::uint32_t* longitudes,
                        std::uint32_t latKey, std::uint32_t lonKey, std::int32_t step, std::int32_t width,
                        std::int64_t scanBudget) {
  if (n == 0 || width <= 0) return -1;
  const std::int32_t start = FindStartIndex(n, latitudes, latKey);
  std::int32_t lo = start;
  std::int32_t hi = start;
  std::int32_t radius = step;
  const std::int64_t limit = WrappingMultiply(width, step);
  std::int32_t best = -1;
  std::int64_t bestDistance = kNoDistance;

  for (std::int32_t ring = 0; ring < width; ++ring) {
    // The window grows until it holds the first point beyond the radius on
    // each side; those boundary points are scanned too, so a point outside
    // the radius in latitude can still win on longitude.
    while (lo > 0 && KeyDifference(latKey, latitudes[lo]) <= radius) --lo;
    while (hi < n - 1 && KeyDifference(latitudes[hi], latKey) <= radius) ++hi;
    scanBudget -= hi - lo + 1;
    if (scanBudget < 0) return kRingsStopped;

    for (std::int32_t i = lo; i <= hi; ++i) {
      if (longitudes[i] == 0) continue;  // set aside earlier
      const std::int64_t distance = LongitudeDistance(longitudes[i], lonKey);
      // Strictly smaller: on a tie the lowest index, the southernmost, wins.
      if (distance <= radius && distance < bestDistance) {
        best = i;
        bestDistance = distance;
      }
      // Beyond the last ring's radius this point can never qualify.
      if (distance > limit) longitudes[i] = 0;
    }
    // The first ring with any candidate ends the search.
    if (best >= 0) return best;
    radius = WrappingAdd(radius, step);
  }
  return -1;
}

Rank RankedWinner(std::int32_t n, const std::uint32_t* latitudes, const std::uint32_t* longitudes,
                  std::int32_t start, std::uint32_t latKey, std::uint32_t lonKey, std::int32_t step,
                  std::int32_t width) {
  Rank best{std::int64_t{width} + 1, kNoDistance, -1};
  for (std::int32_t i = 0; i < n; ++i) {
    if (longitudes[i] == 0) continue;
    const std::int64_t distance = LongitudeDistance(longitudes[i], lonKey);
    if (distance >= kNoDistance) continue;
    const std::int64_t entry = EntryRing(latitudes, i, start, latKey, step);
    const std::int64_t ring = entry > RingReaching(distance, step) ? entry : RingReaching(distance, step);
    if (ring > width) continue;
    const Rank rank{ring, distance, i};
    if (rank < best) best = rank;
  }
  if (best.index < 0) best.ring = width;
  return best;
}

std::optional<std::int32_t> RankedSearch(std::int32_t n, const std::uint32_t* latitudes, std::uint32_t* longitudes,
                                         std::uint32_t latKey, std::uint32_t lonKey, std::int32_t step,
                                         std::int32_t width) {
  if (n < 1 || step <= 0 || width <= 0) return std::nullopt;
  const std::int64_t limit = std::int64_t{step} * width;
  if (limit > kInt32Max || std::int64_t{latKey} - latitudes[0] > kInt32Max ||
      std::int64_t{latitudes[n - 1]} - latKey > kInt32Max) {
    return std::nullopt;
  }
  for (std::int32_t i = 1; i < n; ++i) {
    if (latitudes[i] < latitudes[i - 1]) return std::nullopt;
  }
  const std::int32_t start = FindStartIndex(n, latitudes, latKey);
  const Rank winner = RankedWinner(n, latitudes, longitudes, start, latKey, lonKey, step, width);
  // The loop's last ring had the window of ring winner.ring (or of the last
  // ring when nothing won); every point in it was scanned and, when beyond
  // the limit, set aside.
  std::int32_t lo = start;
  while (lo > 0 && EntryRing(latitudes, lo - 1, start, latKey, step) <= winner.ring) --lo;
  std::int32_t hi = start;
  while (hi < n - 1 && EntryRing(latitudes, hi + 1, start, latKey, step) <= winner.ring) ++hi;
  for (std::int32_t i = lo; i <= hi; ++i) {
    if (longitudes[i] != 0 && LongitudeDistance(longitudes[i], lonKey) > limit) longitudes[i] = 0;
  }
  return static_cast<std::int32_t>(winner.index);
}

std::int32_t SearchPointList(std::int32_t n, const std::uint32_t* latitudes, std::uint32_t* longitudes,
                             std::uint32_t latKey, std::uint32_t lonKey, std::int32_t step, std::int32_t width) {
  const std::int32_t best = RingSearch(n, latitudes, longitudes, latKey, lonKey, step, width, n);
  if (best != kRingsStopped) return best;
  const std::optional<std::int32_t> ranked = RankedSearch(n, latitudes, longitudes, latKey, lonKey, step, width);
  return ranked ? *ranked : RingSearch(n, latitudes, longitudes, latKey, lonKey, step, width);
}

}  // namespace kavrel
