// The ring rules, through the engine's search on small packages.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "test_packages.h"

namespace kavrel::test {
namespace {

constexpr std::uint32_t kLat = 35681236;   // Tokyo Station
constexpr std::uint32_t kLon = 139767125;

TEST(FindNearestPoint, FollowsTheRingRules) {
  struct Case {
    const char* what;
    std::vector<Point> points;  // the area key names each point
    std::int32_t step, width, bandRange;
    std::int32_t code;
    std::uint32_t winner;
  };
  const Case cases[] = {
      {"a point on the query wins in ring 1", {{kLat + 10, kLon + 60, 1, 1, 1}, {kLat, kLon, 1, 1, 2}}, 100, 300, 1, 0, 2},
      {"ring 2 in the west beats ring 3 in the east",
       {{kLat, kLon + 250, 1, 1, 1}, {kLat, kLon - 180, 1, 1, 2}}, 100, 300, 1, 0, 2},
      {"a tie goes to the southern point",
       {{kLat + 20, kLon + 70, 1, 1, 1}, {kLat - 20, kLon - 70, 1, 1, 2}}, 100, 300, 1, 0, 2},
      {"only the longitude counts: far north beats near",
       {{kLat, kLon + 150, 1, 1, 1}, {kLat + 5000, kLon + 50, 1, 1, 2}}, 100, 300, 1, 0, 2},
      {"the window stops at the first point beyond the radius, which still counts",
       {{kLat - 50, kLon + 500, 1, 1, 1}, {kLat + 3000, kLon + 20, 1, 1, 2}, {kLat + 6000, kLon, 1, 1, 3}},
       100, 300, 1, 0, 2},
      {"the first ring with a candidate ends the search",
       {{kLat, kLon + 90, 1, 1, 1}, {kLat + 150, kLon + 5000, 1, 1, 2}, {kLat + 160, kLon + 10, 1, 1, 3}},
       100, 300, 1, 0, 1},
      {"a query south of every point", {{kLat + 900, kLon - 30, 1, 1, 1}, {kLat + 950, kLon + 10, 1, 1, 2}},
       100, 300, 1, 0, 2},
      {"nothing within the last ring", {{kLat, kLon + 501, 1, 1, 1}}, 100, 5, 1, -1005, 0},
      {"the last ring reaches exactly", {{kLat, kLon + 500, 1, 1, 1}}, 100, 5, 1, 0, 1},
      {"width 0 searches nothing", {{kLat, kLon, 1, 1, 1}}, 100, 0, 1, -1005, 0},
      {"no points", {}, 100, 300, 1, -1005, 0},
      {"points beyond the loaded bands cannot win", {{kLat + 30000, kLon, 1, 1, 1}}, 100, 300, 1, -1005, 0},
      {"a wider band range loads them", {{kLat + 30000, kLon, 1, 1, 1}}, 100, 300, 3, 0, 1},
  };
  for (const Case& c : cases) {
    TestEngine engine(PointPackage(c.points));
    engine->SetParameters({c.step, c.width, c.bandRange});
    AddressKey found;
    found.nArea = 0;
    EXPECT_EQ(engine->FindNearestPoint(kLat, kLon, found), c.code) << c.what;
    EXPECT_EQ(found.nArea, c.winner) << c.what;
  }
}

TEST(FindNearestPoint, SetsAsidePointsBeyondTheLastRing) {
  // Step 100, width 2: nothing farther than 200 can ever qualify.
  TestEngine engine(PointPackage(
      {{kLat, kLon + 150, 1, 1, 1}, {kLat + 1, kLon + 250, 1, 1, 2}, {kLat + 2, kLon - 200, 1, 1, 3}}));
  engine->SetParameters({100, 2, 1});
  AddressKey found;
  ASSERT_EQ(engine->FindNearestPoint(kLat, kLon, found), 0);
  EXPECT_EQ(found.nArea, 1u);
  EXPECT_EQ(engine->Points().longitudes[0], kLon + 150);
  EXPECT_EQ(engine->Points().longitudes[1], 0u);
  EXPECT_EQ(engine->Points().longitudes[2], kLon - 200);  // at the limit: kept
}

TEST(FindNearestPoint, SmallStepTimesWidthSearchesWithTheDefaults) {
  // Step 10 and width 100 would reach 1000; the defaults reach 30000.
  TestEngine engine(PointPackage({{kLat, kLon + 2500, 1, 1, 1}}));
  engine->SetStep(10, 100);
  AddressKey found;
  EXPECT_EQ(engine->FindNearestPoint(kLat, kLon, found), 0);
  EXPECT_EQ(found.nArea, 1u);
}

}  // namespace
}  // namespace kavrel::test
