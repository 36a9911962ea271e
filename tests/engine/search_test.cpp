#include "search.h"

#include "band_directory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace kavrel {
namespace {

TEST(CoordinateKey, TruncatesMicrodegreesToThirtyTwoBits) {
  struct Case {
    double degrees;
    std::uint32_t key;
  };
  const Case cases[] = {
      {35.681236, 35681236},
      {139.767125, 139767125},
      {35.6812365, 35681236},  // truncated, not rounded
      {0.0000009, 0},
      {-1.0, static_cast<std::uint32_t>(-1000000)},       // low 32 bits of -1000000
      {5000.0, static_cast<std::uint32_t>(5000000000u)},  // wraps past 2^32
      {std::nan(""), 0},
      {std::numeric_limits<double>::infinity(), 0},
      {-std::numeric_limits<double>::infinity(), 0},
      {1e300, 0},
      {-1e300, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(CoordinateKey(c.degrees), c.key) << c.degrees;
}

TEST(FindStartIndex, GivesAnExactMatchOrTheLastProbe) {
  const std::uint32_t four[] = {10, 20, 30, 40};
  const std::uint32_t seven[] = {1, 2, 3, 4, 5, 6, 7};
  struct Case {
    std::int32_t n;
    const std::uint32_t* latitudes;
    std::uint32_t key;
    std::int32_t index;
  };
  const Case cases[] = {
      {4, four, 25, 1},  {4, four, 35, 3},  {4, four, 30, 2},  {4, four, 99, 3},
      {1, four, 99, 0},  {0, four, 25, 0},  {7, seven, 7, 6},  {7, seven, 4, 3},
      // The first point is never probed: a key at or below it gives index 1,
      // and the window reaches index 0 as it widens.
      {4, four, 10, 1},  {4, four, 5, 1},   {7, seven, 1, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindStartIndex(c.n, c.latitudes, c.key), c.index) << c.n << " points, key " << c.key;
  }
}

TEST(EffectiveParameters, ABandRangeBelowOneGivesTheDefaults) {
  struct Case {
    std::int32_t step, width;
    std::int32_t wantStep, wantWidth, wantRange;
  };
  const Case cases[] = {
      {100, 200, 100, 300, 1},   // product 20000: no band
      {10, 100, 100, 300, 1},    // the 10 is lost
      {100, -900, 100, 300, 1},  // a negative range
      {100, 300, 100, 300, 1},   // exactly one band: kept as set
      {50, 3000, 50, 3000, 5},
  };
  for (const Case& c : cases) {
    const SearchParameters effective = EffectiveParameters(StepParameters(c.step, c.width));
    EXPECT_EQ(effective.step, c.wantStep) << c.step << "x" << c.width;
    EXPECT_EQ(effective.width, c.wantWidth) << c.step << "x" << c.width;
    EXPECT_EQ(effective.bandRange, c.wantRange) << c.step << "x" << c.width;
  }
}

// The directory must place every key exactly where a binary search would,
// also among keys that are no multiple of the band height, at the ends of
// the key range, and for keys outside the bands it covers.
TEST(BandDirectory, PlacesKeysAsALowerBound) {
  std::mt19937 random(7);
  const std::uint32_t top = std::numeric_limits<std::uint32_t>::max();
  std::vector<std::vector<std::uint32_t>> keySets = {
      {},
      {350000},
      {0, 10000, 20000},
      {0, 5, 10000, 10001, 19999, 40000},
      {top - top % kBandHeight},
      {0, top - top % kBandHeight},
  };
  for (int set = 0; set < 20; ++set) {
    std::vector<std::uint32_t> keys;
    const std::uint32_t base = random() % 1000 * kBandHeight;
    for (int i = 0; i < 200; ++i) keys.push_back(base + random() % 600 * (set % 2 == 0 ? kBandHeight : 1000));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    keySets.push_back(keys);
  }
  for (const std::vector<std::uint32_t>& keys : keySets) {
    const BandDirectory directory(keys);
    std::vector<std::uint32_t> probes = {0, 1, top, top - 1};
    for (const std::uint32_t key : keys) {
      for (const std::uint32_t near : {key - kBandHeight, key - 1, key, key + 1, key + kBandHeight}) probes.push_back(near);
    }
    for (int i = 0; i < 200; ++i) probes.push_back(static_cast<std::uint32_t>(random()));
    for (const std::uint32_t probe : probes) {
      const auto expected = static_cast<std::size_t>(std::lower_bound(keys.begin(), keys.end(), probe) - keys.begin());
      ASSERT_EQ(directory.FirstAtOrAbove(keys, probe), expected) << keys.size() << " keys, probe " << probe;
    }
  }
}

}  // namespace
}  // namespace kavrel
