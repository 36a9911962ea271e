#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_packages.h"

namespace kavrel::test {
namespace {

// n points spread over the band, ascending, their area keys from firstArea.
std::vector<Point> BandPoints(std::uint32_t band, int n, std::uint32_t firstArea) {
  std::vector<Point> points;
  for (int i = 0; i < n; ++i) {
    points.push_back({band + 100 * static_cast<std::uint32_t>(i), 139000000, 13, 101,
                      firstArea + static_cast<std::uint32_t>(i)});
  }
  return points;
}

TEST(LoadPoints, LoadsTheBandsInRangeInAscendingOrderWithOneSpareSlotEach) {
  // Band range 2 around 35.68: 35.66 has no block and 35.69 an empty one;
  // 35.65 and 35.71 lie outside. The blocks are added out of order.
  pack::PackageWriter writer;
  writer.Add("/L3/5/LLP35700000.gzbin", PointBlock(BandPoints(35700000, 3, 12)));  // 45 bytes
  writer.Add("/L3/5/LLP35650000.gzbin", PointBlock(BandPoints(35650000, 1, 90)));
  writer.Add("/L3/5/LLP35680000.gzbin", PointBlock(BandPoints(35680000, 1, 11)),   // 15 bytes, stored
             kMethodStored);
  writer.Add("/L3/5/LLP35670000.gzbin", PointBlock(BandPoints(35670000, 10, 1)));  // 150 bytes
  writer.Add("/L3/5/LLP35690000.gzbin", "", kMethodStored);
  writer.Add("/L3/5/LLP35710000.gzbin", PointBlock(BandPoints(35710000, 1, 91)));
  TestEngine engine(writer);
  engine->SetParameters({100, 300, 2});
  testing::internal::CaptureStderr();
  EXPECT_EQ(engine->LoadPoints(35681234), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  // 14 points and a spare slot for each of the four blocks found (the arrays
  // are sized and zeroed together by PointList::Allocate, tested below).
  EXPECT_EQ(engine->Points().latitudes.size(), 18u);
  ASSERT_EQ(engine->Points().count, 14);
  for (int i = 0; i < 14; ++i) {
    EXPECT_EQ(engine->Points().keys[static_cast<std::size_t>(i)].nArea, static_cast<std::uint32_t>(i + 1));
  }
}

TEST(LoadPoints, BlockWithTrailingBytesIsReportedAndItsWholeRecordsLoaded) {
  pack::PackageWriter writer;
  writer.Add("/L3/5/LLP35680000.gzbin", PointBlock(BandPoints(35680000, 2, 1)) + "X");  // 31 bytes
  TestEngine engine(writer);
  engine->SetParameters({100, 300, 1});
  testing::internal::CaptureStderr();
  engine->LoadPoints(35681234);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "size=31 err /L3/5/LLP35680000.gzbin\n");
  EXPECT_EQ(engine->Points().latitudes.size(), 3u);
  EXPECT_EQ(engine->Points().count, 2);
}

TEST(LoadPoints, RecordFieldsLandInTheirKeys) {
  pack::PackageWriter writer;
  const Point point{35680001, 139767125, 47, 0xBEEF, 0xABCDEF, 0x5A};
  writer.Add("/L3/5/LLP35680000.gzbin", PointRecord(point));
  TestEngine engine(writer);
  engine->SetParameters({100, 300, 1});
  engine->LoadPoints(35680000);
  ASSERT_EQ(engine->Points().count, 1);
  EXPECT_EQ(engine->Points().latitudes[0], 35680001u);
  EXPECT_EQ(engine->Points().longitudes[0], 139767125u);
  const AddressKey& keys = engine->Points().keys[0];
  EXPECT_EQ(keys.nPref, 47);
  EXPECT_EQ(keys.nCity, 0xBEEF);
  EXPECT_EQ(keys.nArea, 0xABCDEFu);
}

TEST(LoadPoints, ABandRangeBelowOneLoadsOneBandOnEachSide) {
  pack::PackageWriter writer;
  writer.Add("/L3/5/LLP35670000.gzbin", PointBlock(BandPoints(35670000, 1, 1)));
  writer.Add("/L3/5/LLP35690000.gzbin", PointBlock(BandPoints(35690000, 1, 2)));
  TestEngine engine(writer);
  for (const std::int32_t bandRange : {0, -3}) {
    engine->SetParameters({10, 100, bandRange});
    engine->LoadPoints(35681234);
    EXPECT_EQ(engine->Points().count, 2) << bandRange;
  }
}

TEST(PointList, AllocateGivesZeroedArraysOfTheCapacityAndNoPoints) {
  PointList list;
  list.Allocate(4);
  list.count = 4;
  list.latitudes[1] = list.longitudes[1] = 7;
  list.keys[1].nArea = 9;
  list.Allocate(2);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.latitudes, std::vector<std::uint32_t>(2, 0));
  EXPECT_EQ(list.longitudes, std::vector<std::uint32_t>(2, 0));
  ASSERT_EQ(list.keys.size(), 2u);
  EXPECT_EQ(list.keys[1].nArea, 0u);
  list.Allocate(-1);
  EXPECT_TRUE(list.latitudes.empty() && list.longitudes.empty() && list.keys.empty());
}

}  // namespace
}  // namespace kavrel::test
