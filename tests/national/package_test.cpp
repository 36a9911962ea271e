// The national package built from the open town data: every point of the
// data is in it, with its names, and the count inside the engine's area box.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "address_csv.h"
#include "block_codec.h"
#include "kavrel/format/coverage.h"
#include "kavrel/platform/text.h"
#include "pack_test_helpers.h"
#include "test_support.h"

namespace kavrel::pack {
namespace {

using Point = std::tuple<std::uint32_t, std::uint32_t, std::string>;  // lat, lon, "P|C|S"

class NationalPackage : public ::testing::Test {
protected:
  void SetUp() override { KAVREL_REQUIRE_NATIONAL_PACKAGE(); }

  // Every point of the package with its three names, in UTF-8.
  static std::vector<Point> PackagePoints() {
    test::PackageReader package(kavrel::test::NationalPackagePath());
    std::map<std::uint32_t, std::string> names[3];
    for (const std::string& entry : package.EntryNames()) {
      const int level = entry.rfind("/P/", 0) == 0 ? 0 : entry.rfind("/C/", 0) == 0 ? 1
                        : entry.rfind("/S/", 0) == 0 ? 2 : -1;
      if (level < 0) continue;
      for (const auto& [key, text] : package.Names(entry)) names[level].emplace(key, platform::Utf16ToUtf8(text));
    }
    std::vector<Point> points;
    for (const std::string& entry : package.EntryNames()) {
      if (entry.rfind("/L", 0) != 0) continue;
      for (const PointRecord& p : package.Points(entry)) {
        points.emplace_back(p.latitude, p.longitude,
                            names[0][p.prefecture] + "|" + names[1][p.city] + "|" + names[2][p.area]);
      }
    }
    return points;
  }
};

TEST_F(NationalPackage, HoldsEveryTownOfTheDataWithItsNames) {
  std::vector<Point> expected;
  AddressCsvReader reader(kavrel::test::TownsCsvPath());
  AddressRow row;
  while (reader.Next(row)) {
    expected.emplace_back(MicrodegreeKey(std::stod(row.latitude)), MicrodegreeKey(std::stod(row.longitude)),
                          row.prefecture + "|" + row.city + "|" + row.area);
  }
  std::vector<Point> actual = PackagePoints();
  ASSERT_EQ(actual.size(), expected.size());
  std::sort(expected.begin(), expected.end());
  std::sort(actual.begin(), actual.end());
  const auto mismatch = std::mismatch(expected.begin(), expected.end(), actual.begin());
  EXPECT_TRUE(mismatch.first == expected.end())
      << "first difference: " << std::get<0>(*mismatch.first) << "," << std::get<1>(*mismatch.first) << " "
      << std::get<2>(*mismatch.first) << " vs " << std::get<0>(*mismatch.second) << ","
      << std::get<1>(*mismatch.second) << " " << std::get<2>(*mismatch.second);
}

TEST_F(NationalPackage, ThePointsInsideTheAreaBoxAreThoseOfTheData) {
  std::uint64_t inside = 0;
  std::uint64_t outside = 0;
  for (const Point& point : PackagePoints()) {
    const double latitude = std::get<0>(point) / 1e6;
    const double longitude = std::get<1>(point) / 1e6;
    (IsInJapanBox(latitude, longitude) != 0 ? inside : outside) += 1;
  }
  std::uint64_t expectedInside = 0;
  std::uint64_t expectedOutside = 0;
  AddressCsvReader reader(kavrel::test::TownsCsvPath());
  for (AddressRow row; reader.Next(row);) {
    const double latitude = MicrodegreeKey(std::stod(row.latitude)) / 1e6;
    const double longitude = MicrodegreeKey(std::stod(row.longitude)) / 1e6;
    (IsInJapanBox(latitude, longitude) != 0 ? expectedInside : expectedOutside) += 1;
  }
  EXPECT_EQ(inside, expectedInside);
  EXPECT_EQ(outside, expectedOutside);
  if (kavrel::test::ShippedTownsInUse()) {
    // The shipped data: every town but 南鳥島 and 沖ノ鳥島.
    EXPECT_EQ(inside, 277205u);
    EXPECT_EQ(outside, 2u);
  }
}

}  // namespace
}  // namespace kavrel::pack
