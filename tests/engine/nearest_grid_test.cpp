// The nearest grid against a scan of every point, on points that pile up at
// a few places: one point is kept for each coordinate, and every answer is
// the scan's, ties going to the lowest index.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <utility>
#include <limits>
#include <vector>

#include "geodesy.h"
#include "nearest_grid.h"
#include "search.h"

namespace kavrel {
namespace {

// The point a scan of all finds: the smallest distance, the lowest index on
// a tie, none beyond `limit`.
NearestGrid::Nearest Scan(const std::vector<std::uint32_t>& latitudes, const std::vector<std::uint32_t>& longitudes,
                          double latitude, double longitude, double limit) {
  NearestGrid::Nearest best;
  for (std::size_t i = 0; i < latitudes.size(); ++i) {
    const double distance =
        HubenyDistance(latitude, longitude, KeyDegrees(latitudes[i]), KeyDegrees(longitudes[i]));
    if (distance > limit) continue;
    if (best.index < 0 || distance < best.distance) best = {static_cast<std::int64_t>(i), distance};
  }
  return best;
}

TEST(NearestGrid, PointsAtOnePlaceAreHeldOnceAndAnswerAsTheFirstOfThem) {
  struct Case {
    const char* what;
    int places;       // distinct coordinates
    int points;       // points spread over them at random
    double spread;    // degrees of latitude and longitude they spread over
  };
  const Case cases[] = {
      {"all at one place", 1, 5000, 0.0},
      {"a few places in a town", 7, 5000, 0.01},
      {"places in several cells", 40, 4000, 0.2},
      {"every point its own place", 3000, 3000, 0.5},
      {"a crowded town, hundreds of places in a cell", 2000, 2000, 0.015},
  };
  std::mt19937 random(21);
  for (const Case& c : cases) {
    std::uniform_real_distribution<double> offset(0.0, c.spread);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> places;
    std::set<std::pair<std::uint32_t, std::uint32_t>> distinct;
    for (int p = 0; p < c.places; ++p) {
      places.emplace_back(CoordinateKey(35.6 + offset(random)), CoordinateKey(139.7 + offset(random)));
    }
    std::uniform_int_distribution<int> pick(0, c.places - 1);
    std::vector<std::uint32_t> latitudes, longitudes;
    for (int i = 0; i < c.points; ++i) {
      // Every place gets a point before any gets a second.
      const auto& place = places[static_cast<std::size_t>(i < c.places ? i : pick(random))];
      latitudes.push_back(place.first);
      longitudes.push_back(place.second);
      distinct.insert(place);
    }
    const NearestGrid grid(latitudes.data(), longitudes.data(), latitudes.size());
    EXPECT_EQ(grid.DistinctPoints(), distinct.size()) << c.what;
    std::uniform_real_distribution<double> around(-0.05, c.spread + 0.05);
    for (int q = 0; q < 200; ++q) {
      const double latitude = q == 0 ? KeyDegrees(latitudes[0]) : 35.6 + around(random);
      const double longitude = q == 0 ? KeyDegrees(longitudes[0]) : 139.7 + around(random);
      const double limit = q % 4 == 0 ? 3000.0 : 1e9;
      const NearestGrid::Nearest found = grid.Find(latitude, longitude, limit);
      const NearestGrid::Nearest expected = Scan(latitudes, longitudes, latitude, longitude, limit);
      ASSERT_EQ(found.index, expected.index) << c.what << " at " << latitude << "," << longitude;
      if (expected.index >= 0) {
        EXPECT_EQ(found.distance, expected.distance) << c.what;
      }
    }
  }
}

// Points on a lattice share their latitudes and longitudes in rows and
// columns, and a query halfway between lattice points lies at one distance
// from two or four of them: the search within a cell, which walks its points
// outward from the query's latitude, must still find the scan's point.
TEST(NearestGrid, QueriesOnALatticeFindTheScansPoint) {
  constexpr int kSide = 40;
  constexpr std::uint32_t kSpacing = 700;  // microdegrees: a few lattice rows per cell
  std::vector<std::uint32_t> latitudes, longitudes;
  for (int row = 0; row < kSide; ++row) {
    for (int column = 0; column < kSide; ++column) {
      latitudes.push_back(CoordinateKey(35.6) + static_cast<std::uint32_t>(row) * kSpacing);
      longitudes.push_back(CoordinateKey(139.7) + static_cast<std::uint32_t>(column) * kSpacing);
    }
  }
  const NearestGrid grid(latitudes.data(), longitudes.data(), latitudes.size());
  std::mt19937 random(5);
  std::uniform_int_distribution<int> cell(-2, 2 * kSide + 1);
  for (int q = 0; q < 3000; ++q) {
    // Whole and half lattice steps, some a microdegree off.
    const auto key = [&](double origin, int jiggle) {
      return static_cast<std::uint32_t>(CoordinateKey(origin) + std::int64_t{cell(random)} * kSpacing / 2 + jiggle);
    };
    const double latitude = KeyDegrees(key(35.6, q % 3 - 1));
    const double longitude = KeyDegrees(key(139.7, 0));
    const NearestGrid::Nearest found = grid.Find(latitude, longitude, 0);
    const NearestGrid::Nearest expected = Scan(latitudes, longitudes, latitude, longitude, 1e18);
    ASSERT_EQ(found.index, expected.index) << latitude << "," << longitude;
    EXPECT_EQ(found.distance, expected.distance);
  }
}

// Asking ahead reads the cell table only inside the grid: coordinates at
// and beyond its edges, at the poles and the date line, and not numbers at
// all read nothing out of bounds (AddressSanitizer watches the tables).
TEST(NearestGrid, AskingAheadAnywhereReadsOnlyInsideTheGrid) {
  const std::vector<std::uint32_t> latitudes = {CoordinateKey(35.0), CoordinateKey(35.5), CoordinateKey(36.0)};
  const std::vector<std::uint32_t> longitudes = {CoordinateKey(139.0), CoordinateKey(139.5), CoordinateKey(140.0)};
  const NearestGrid grid(latitudes.data(), longitudes.data(), latitudes.size());
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double places[][2] = {{35.0, 139.0}, {36.0, 140.0},   {36.03, 140.03}, {34.99, 138.99}, {90.0, 180.0},
                              {-90.0, -180.0}, {0.0, 0.0},    {nan, 139.0},    {35.0, inf},     {1e300, -1e300}};
  for (const auto& place : places) {
    for (int stage = 0; stage < 2; ++stage) grid.Prefetch(place[0], place[1], stage);
  }
  // Asking ahead changes no answer.
  EXPECT_EQ(grid.Find(35.5, 139.5, 0).index, 1);
}

}  // namespace
}  // namespace kavrel
