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
  SetSearch(*engine, 100, 300, 2);
  testing::internal::CaptureStderr();
  EXPECT_EQ(engine->LoadPoints(35681234), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  // 14 points and a spare slot for each of the four blocks found.
  EXPECT_EQ(engine->m_pLatitudes.size(), 18u);
  EXPECT_EQ(engine->m_pLongitudes.size(), 18u);
  EXPECT_EQ(engine->m_pAddressKeys.size(), 18u);
  ASSERT_EQ(engine->m_nPointCount, 14);
  for (int i = 0; i < 14; ++i) {
    EXPECT_EQ(engine->m_pAddressKeys[static_cast<std::size_t>(i)].nArea, static_cast<std::uint32_t>(i + 1));
  }
  // The spare slots stay zero.
  EXPECT_EQ(engine->m_pLatitudes[14], 0u);
  EXPECT_EQ(engine->m_pLatitudes[17], 0u);
}

TEST(LoadPoints, BlockWithTrailingBytesIsReportedAndItsWholeRecordsLoaded) {
  pack::PackageWriter writer;
  writer.Add("/L3/5/LLP35680000.gzbin", PointBlock(BandPoints(35680000, 2, 1)) + "X");  // 31 bytes
  TestEngine engine(writer);
  SetSearch(*engine, 100, 300, 1);
  testing::internal::CaptureStderr();
  engine->LoadPoints(35681234);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "size=31 err /L3/5/LLP35680000.gzbin\n");
  EXPECT_EQ(engine->m_pLatitudes.size(), 3u);
  EXPECT_EQ(engine->m_nPointCount, 2);
}

TEST(LoadPoints, RecordFieldsLandInTheirKeys) {
  pack::PackageWriter writer;
  const Point point{35680001, 139767125, 47, 0xBEEF, 0xABCDEF, 0x5A};
  writer.Add("/L3/5/LLP35680000.gzbin", PointRecord(point));
  TestEngine engine(writer);
  SetSearch(*engine, 100, 300, 1);
  engine->LoadPoints(35680000);
  ASSERT_EQ(engine->m_nPointCount, 1);
  EXPECT_EQ(engine->m_pLatitudes[0], 35680001u);
  EXPECT_EQ(engine->m_pLongitudes[0], 139767125u);
  const AddressKey& keys = engine->m_pAddressKeys[0];
  EXPECT_EQ(keys.nPref, 47);
  EXPECT_EQ(keys.nCity, 0xBEEF);
  EXPECT_EQ(keys.nExtra, 0x5A);
  EXPECT_EQ(keys.nArea, 0xABCDEFu);
}

TEST(LoadPoints, SmallBandRangeFallsBackToTheDefaults) {
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
  pack::PackageWriter writer;
  TestEngine engine(writer);
  for (const Case& c : cases) {
    engine->SetStep(c.step, c.width);
    engine->LoadPoints(35681234);
    EXPECT_EQ(engine->m_nStep, c.wantStep) << c.step << "x" << c.width;
    EXPECT_EQ(engine->m_nWidth, c.wantWidth) << c.step << "x" << c.width;
    EXPECT_EQ(engine->m_nBandRange, c.wantRange) << c.step << "x" << c.width;
  }
}

TEST(AllocatePoints, GivesZeroedArraysOfTheCapacityAndNoPoints) {
  pack::PackageWriter writer;
  writer.Add("/L3/5/LLP35680000.gzbin", PointBlock(BandPoints(35680000, 4, 1)));
  TestEngine engine(writer);
  SetSearch(*engine, 100, 300, 1);
  engine->LoadPoints(35680000);
  ASSERT_EQ(engine->m_nPointCount, 4);
  engine->AllocatePoints(2);
  EXPECT_EQ(engine->m_nPointCount, 0);
  EXPECT_EQ(engine->m_pLatitudes, std::vector<std::uint32_t>(2, 0));
  EXPECT_EQ(engine->m_pLongitudes, std::vector<std::uint32_t>(2, 0));
  ASSERT_EQ(engine->m_pAddressKeys.size(), 2u);
  EXPECT_EQ(engine->m_pAddressKeys[1].nArea, 0u);
  EXPECT_EQ(engine->m_pAddressKeys[1].nPref, 0);
}

}  // namespace
}  // namespace kavrel::test
