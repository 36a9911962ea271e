#include "search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "kavrel/format/blocks.h"
#include "kavrel/platform/text.h"
#include "test_packages.h"

namespace kavrel::test {
namespace {

constexpr std::uint32_t kLat = 35681236;   // Tokyo Station
constexpr std::uint32_t kLon = 139767125;

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

TEST(FindNearestPoint, SmallStepTimesWidthSearchesWithTheDefaults) {
  // Step 10 and width 100 would reach 1000; the defaults reach 30000.
  TestEngine engine(PointPackage({{kLat, kLon + 2500, 1, 1, 1}}));
  engine->SetStep(10, 100);
  AddressKey found;
  EXPECT_EQ(engine->FindNearestPoint(kLat, kLon, found), 0);
  EXPECT_EQ(found.nArea, 1u);
}

// One point with P 13, C 101, S 1234, and the names the test asks for.
pack::PackageWriter AddressPackage(bool pref, bool city, bool areaKey, bool areaBlock) {
  pack::PackageWriter writer = PointPackage({{kLat, kLon, 13, 101, 1234}});
  writer.Add("/P/000000.gzbin", NameBlock({{1, u"北海道"}, {pref ? 13 : 14, u"東京都"}}));
  writer.Add("/C/000000.gzbin", NameBlock({{city ? 101 : 100, u"千代田区"}}));
  if (areaBlock) writer.Add("/S/001000.gzbin", NameBlock({{areaKey ? 1234 : 1235, u"丸の内一丁目"}}));
  return writer;
}

TEST(ReverseGeocode, JoinsTheThreeNamesWithTheSeparatorAndAMissingNameLeavesItsPartEmpty) {
  struct Case {
    const char16_t* separator;  // null: SetSeparator never called
    bool pref, city, areaKey, areaBlock;
    std::u16string address;
  };
  const Case cases[] = {
      {nullptr, true, true, true, true, u"東京都千代田区丸の内一丁目"},
      {u",", true, true, true, true, u"東京都,千代田区,丸の内一丁目"},
      {u" / ", true, true, true, true, u"東京都 / 千代田区 / 丸の内一丁目"},
      {u",", false, true, true, true, u",千代田区,丸の内一丁目"},
      {u",", true, false, true, true, u"東京都,,丸の内一丁目"},
      {u",", true, true, false, true, u"東京都,千代田区,"},
      {u",", true, true, true, false, u"東京都,千代田区,"},
      {u",", false, false, false, false, u",,"},
  };
  for (const Case& c : cases) {
    TestEngine engine(AddressPackage(c.pref, c.city, c.areaKey, c.areaBlock));
    if (c.separator != nullptr) engine->SetSeparator(c.separator);
    std::u16string address;
    EXPECT_EQ(engine->ReverseGeocode(35.681236, 139.767125, address, nullptr), 0) << "row " << &c - cases;
    EXPECT_EQ(address, c.address) << "row " << &c - cases;
  }
}

TEST(ReverseGeocode, BeforeInitializeFindsNothing) {
  CkavrelcoreApp engine;
  std::u16string address;
  EXPECT_EQ(engine.ReverseGeocode(35.681236, 139.767125, address, nullptr), -1005);
}

TEST(ReverseGeocode, PreloadKeepsEveryBlockAndOtherwiseNoBlockStays) {
  // The S block is there but lacks the point's key: a name lookup that finds
  // nothing must drop its block too.
  pack::PackageWriter writer = AddressPackage(true, true, false, true);
  for (std::uint32_t band : {kLat - 10000, kLat + 10000, kLat + 50000}) {
    writer.Add(platform::Utf16ToUtf8(BuildPointBlockName(band)), PointBlock({{BandOf(band) + 1, kLon + 7}}));
  }
  for (const bool preload : {false, true}) {
    TestEngine engine(writer);
    if (preload) {
      ASSERT_EQ(engine->PreloadData(), 0);
    }
    for (int search = 0; search < 2; ++search) {
      std::u16string address;
      ASSERT_EQ(engine->ReverseGeocode(35.681236, 139.767125, address, nullptr), 0);
      EXPECT_EQ(address, u"東京都千代田区");
      for (std::int32_t i = 0; i < engine->Package().FileCount(); ++i) {
        EXPECT_EQ(engine->Package().File(i).m_nState == CDataPackageFile::kLoaded, preload)
            << "preload " << preload << ", search " << search << ", entry " << i;
      }
    }
  }
}

}  // namespace
}  // namespace kavrel::test
