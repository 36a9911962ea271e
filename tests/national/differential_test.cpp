// The engine's preloaded lookups against the ring search as defined, on the
// national package: near real towns, exactly on points, at band edges, at
// sea, outside Japan and at coordinates that are no number, for the search
// parameters in use and for some that reset or wrap.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "designed_lookup.h"
#include "kavrel/format/blocks.h"
#include "kavrel/platform/text.h"
#include "test_support.h"

namespace kavrel::test {
namespace {

struct Coordinate {
  double latitude, longitude;
};

// Every address point of the package's point blocks, as keys.
std::vector<std::pair<std::uint32_t, std::uint32_t>> PointKeys(CkavrelcoreApp& engine) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> keys;
  for (std::int32_t i = 0; i < engine.Package().FileCount(); ++i) {
    const CDataPackageFile& block = engine.Package().File(i);
    if (engine.Package().FileName(i).rfind(u"/L", 0) != 0 || !block.Data()) continue;
    const std::size_t size = static_cast<std::size_t>(block.Size());
    for (std::size_t offset = 0; offset + kPointRecordSize <= size; offset += kPointRecordSize) {
      const PointRecord point = ReadPointRecord(block.Data() + offset);
      keys.emplace_back(point.latitude, point.longitude);
    }
  }
  return keys;
}

// `near` queries near the points (near a town, exactly on a point or a whole
// 50 or 100 away in longitude, on a band edge or one microdegree from it),
// and `far` ones at random places in the area of the data, outside Japan,
// and at coordinates that are no number: there the ring search may run
// through all its rings.
std::vector<Coordinate> Queries(std::mt19937& random, const std::vector<std::pair<std::uint32_t, std::uint32_t>>& points,
                                int near, int far) {
  std::uniform_int_distribution<std::size_t> pick(0, points.size() - 1);
  std::uniform_real_distribution<double> jitter(-0.003, 0.003);
  std::uniform_int_distribution<int> kind(0, 99);
  std::vector<Coordinate> queries;
  for (int q = 0; q < near; ++q) {
    const auto [lat, lon] = points[pick(random)];
    const int k = kind(random);
    if (k < 50) {
      const double dLat = jitter(random);
      const double dLon = jitter(random);
      queries.push_back({lat / 1e6 + dLat, lon / 1e6 + dLon});
    } else if (k < 75) {
      const auto shift = static_cast<std::uint32_t>(std::uniform_int_distribution<int>(-2, 2)(random) * 50);
      queries.push_back({Degrees(lat), Degrees(lon + (k < 60 ? 0 : shift))});
    } else {
      const auto edge = BandOf(lat) + static_cast<std::uint32_t>(std::uniform_int_distribution<int>(-1, 1)(random));
      queries.push_back({Degrees(edge), lon / 1e6 + jitter(random)});
    }
  }
  const double odd[] = {std::nan(""), std::numeric_limits<double>::infinity(), -1e300, 0.0};
  for (int q = 0; q < far; ++q) {
    const int k = kind(random);
    if (k < 60) {
      queries.push_back({std::uniform_real_distribution<double>(24, 46)(random),
                         std::uniform_real_distribution<double>(122, 149)(random)});
    } else if (k < 90) {
      queries.push_back({std::uniform_real_distribution<double>(-90, 90)(random),
                         std::uniform_real_distribution<double>(-180, 180)(random)});
    } else {
      const auto [lat, lon] = points[pick(random)];
      queries.push_back(k % 2 ? Coordinate{odd[q % 4], lon / 1e6} : Coordinate{lat / 1e6, odd[q % 4]});
    }
  }
  return queries;
}

TEST(NationalDifferentialSearch, PreloadedLookupsGiveTheRingSearchAnswer) {
  KAVREL_REQUIRE_NATIONAL_PACKAGE();
  CkavrelcoreApp engine;
  ASSERT_EQ(engine.Initialize(platform::Utf8ToUtf16(NationalPackagePath()).c_str()), 0);
  ASSERT_EQ(engine.PreloadData(), 0);
  ASSERT_NE(engine.Index(), nullptr);
  engine.SetSeparator(u",");
  const auto points = PointKeys(engine);
  ASSERT_GT(points.size(), 100000u);

  struct Search {
    std::int32_t step, width;
    int near, far;  // the ring search is slow far from points with small steps
  };
#ifdef KAVREL_SANITIZED_BUILD
  constexpr int kScale = 20;
#else
  constexpr int kScale = 1;
#endif
  const Search searches[] = {
      {50, 3000, 60000 / kScale, 4000 / kScale}, {100, 300, 60000 / kScale, 8000 / kScale},
      {1, 1, 30000 / kScale, 6000 / kScale},     {10, 100000, 12000 / kScale, 30 / kScale},
      {7, 13, 20000 / kScale, 3000 / kScale},    {65536, 65537, 5000 / kScale, 30 / kScale},  // product wraps to 65536
      {46341, 46341, 8000 / kScale, 2000 / kScale},  // product wraps negative: defaults
  };
  std::mt19937 random(20261208);
  int total = 0;
  int found = 0;
  int mismatches = 0;
  for (const Search& search : searches) {
    for (const Coordinate& c : Queries(random, points, search.near, search.far)) {
      engine.SetStep(search.step, search.width);
      const Lookup fast = EngineLookup(engine, c.latitude, c.longitude);
      engine.SetStep(search.step, search.width);
      const Lookup designed = DesignedLookup(engine, c.latitude, c.longitude);
      ++total;
      found += designed.code == 0;
      if (!(fast == designed) && ++mismatches <= 10) {
        ADD_FAILURE() << "step " << search.step << " width " << search.width << " at " << c.latitude << ","
                      << c.longitude << "\n designed: " << designed << "\n fast:     " << fast;
      }
    }
  }
  EXPECT_EQ(mismatches, 0) << "of " << total << " lookups";
  EXPECT_GT(found, total / 2) << "of " << total;
  RecordProperty("lookups", total);
}

}  // namespace
}  // namespace kavrel::test
