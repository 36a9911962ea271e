// The ring search over a latitude-ordered point list, two ways.
//
// RingSearch widens a window around the start point ring by ring and rescans
// it each time, taking the first ring that holds a point within the ring's
// longitude radius. RankedWinner reaches the same winner in one pass: on a
// list in ascending latitude the window only ever grows outward, so each point
// has a fixed ring in which it enters the window (the first ring whose radius
// covers its neighbour towards the start point, which the window has to pass
// first), and it qualifies in the ring
//     q = max(ring it enters the window, ceil(longitude distance / step), 1).
// The winner is the point with the lowest (q, distance, index), among those
// with q <= width and a distance below the initial best distance.
#pragma once

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace kavrel {

// The best distance a search starts from: a point this far or farther in
// longitude never qualifies, whatever the radius.
inline constexpr std::int64_t kNoDistance = 99999999;

// Key difference a - b as the signed 32-bit value the search compares.
inline std::int64_t KeyDifference(std::uint32_t a, std::uint32_t b) {
  return static_cast<std::int32_t>(a - b);
}

// Longitude distance: the absolute signed difference (up to 2^31).
inline std::int64_t LongitudeDistance(std::uint32_t longitude, std::uint32_t lonKey) {
  return std::llabs(KeyDifference(longitude, lonKey));
}

// The first ring (1-based, radius ring * step) whose radius reaches `gap`;
// 1 for a gap of step or less, negative gaps included. step > 0.
inline std::int64_t RingReaching(std::int64_t gap, std::int32_t step) {
  return gap <= step ? 1 : (gap + step - 1) / step;
}

// A point's place in the ranking: lower ring first, then lower distance,
// then lower index.
struct Rank {
  std::int64_t ring;
  std::int64_t distance;
  std::int64_t index;
  bool operator<(const Rank& other) const {
    if (ring != other.ring) return ring < other.ring;
    if (distance != other.distance) return distance < other.distance;
    return index < other.index;
  }
};

// The ring in which point i of a list enters the window around `start`:
// below the start it waits for the point above it, above the start for the
// point below it. The list must be one RankedSearch accepts.
inline std::int64_t EntryRing(const std::uint32_t* latitudes, std::int32_t i, std::int32_t start,
                              std::uint32_t latKey, std::int32_t step) {
  if (i < start) return RingReaching(KeyDifference(latKey, latitudes[i + 1]), step);
  if (i > start) return RingReaching(KeyDifference(latitudes[i - 1], latKey), step);
  return 1;
}

// The ring search as the loop runs it: widen the window, scan it, stop at the
// first ring with a candidate. Longitudes beyond step * width of the query are
// set to 0 in `longitudes` as the scans meet them (points with longitude 0 are
// skipped). Returns the winner's index, or -1 when no ring yields one (also
// for n == 0 or width <= 0). All arithmetic wraps at 32 bits as the loop
// defines it, so any list and any parameters are accepted.
//
// With a `scanBudget`, the loop gives up with kRingsStopped before a ring
// that would take the points scanned past it; running it again from the
// start on the list as it left it gives the same answer and marks as an
// uninterrupted run, and so does RankedSearch where it applies.
inline constexpr std::int32_t kRingsStopped = -2;
std::int32_t RingSearch(std::int32_t n, const std::uint32_t* latitudes, std::uint32_t* longitudes,
                        std::uint32_t latKey, std::uint32_t lonKey, std::int32_t step, std::int32_t width,
                        std::int64_t scanBudget = INT64_MAX);

// The winner of the ring search in one pass over points [0, n) around
// `start` (FindStartIndex's answer), with its rank; when there is none the
// index is -1 and the ring is `width`, the last ring the loop would run.
// The list must be one RankedSearch accepts. Does not change the list.
Rank RankedWinner(std::int32_t n, const std::uint32_t* latitudes, const std::uint32_t* longitudes,
                  std::int32_t start, std::uint32_t latKey, std::uint32_t lonKey, std::int32_t step,
                  std::int32_t width);

// RingSearch's answer and its marks on the list, in one pass: the points
// that the loop's scans met up to its last ring and found beyond
// step * width get longitude 0. Nothing when the pass cannot follow the loop
// on this list (the list is then untouched): unless n >= 1, step > 0,
// width > 0, step * width within 32 signed bits (so no radius wraps), the
// latitudes ascending, and every latitude within 2^31 - 1 of latKey (so no
// key difference wraps).
std::optional<std::int32_t> RankedSearch(std::int32_t n, const std::uint32_t* latitudes, std::uint32_t* longitudes,
                                         std::uint32_t latKey, std::uint32_t lonKey, std::int32_t step,
                                         std::int32_t width);

// The ring search's answer and marks on any list, the fastest way: a winner
// near the query is found in a few rings over a small window, faster than any
// pass over the whole list. Once the rings would have scanned as many points
// as the list holds: one pass where the list allows it, else the rings to the
// end.
std::int32_t SearchPointList(std::int32_t n, const std::uint32_t* latitudes, std::uint32_t* longitudes,
                             std::uint32_t latKey, std::uint32_t lonKey, std::int32_t step, std::int32_t width);

}  // namespace kavrel
