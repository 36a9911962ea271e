// A band's rows searched by longitude through their samples find what a
// plain binary search over the row finds.
#include "band_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace kavrel {
namespace {

constexpr std::uint32_t kBand = 35000000;

// A regular band whose first row holds `first` points and whose second
// holds `second`, of random longitudes from a narrow range (so that many
// repeat).
BandIndex RandomBand(std::size_t first, std::size_t second, std::mt19937& random) {
  std::uniform_int_distribution<std::uint32_t> longitude(139000000, 139000000 + 3 * static_cast<std::uint32_t>(first + second));
  std::vector<PointRecord> points;
  for (std::size_t i = 0; i < first + second; ++i) {
    PointRecord point;
    point.latitude = kBand + (i < first ? 0 : kRowHeight) + static_cast<std::uint32_t>(i % kRowHeight);
    point.longitude = longitude(random);
    points.push_back(point);
  }
  std::sort(points.begin(), points.end(), PointOrder);
  std::string block;
  for (const PointRecord& point : points) AppendPointRecord(block, point);
  return BandIndex(kBand, reinterpret_cast<const std::uint8_t*>(block.data()), static_cast<std::int32_t>(block.size()),
                   true, nullptr);
}

TEST(BandIndex, RowLowerBoundIsTheLowerBoundOfTheRow) {
  std::mt19937 random(20261209);
  // Rows empty, shorter than a sample stride, at and around its multiples,
  // and long, each beside another so that rows start off the samples.
  const std::size_t sizes[] = {0, 1, 5, 31, 32, 33, 63, 64, 65, 100, 1000, 4099};
  for (const std::size_t first : sizes) {
    for (const std::size_t second : {std::size_t{0}, std::size_t{7}, std::size_t{33}, std::size_t{500}}) {
      const BandIndex band = RandomBand(first, second, random);
      ASSERT_TRUE(band.Regular());
      for (std::size_t row = 0; row < kRowsPerBand; ++row) {
        const SortedPoint* begin = band.Sorted().data() + band.RowBegin(row);
        const SortedPoint* end = band.Sorted().data() + band.RowBegin(row + 1);
        std::vector<std::uint32_t> keys = {0, 138999999, 139000000, 0xFFFFFFFF};
        for (const SortedPoint* p = begin; p < end; ++p) keys.insert(keys.end(), {p->longitude, p->longitude + 1});
        for (const std::uint32_t key : keys) {
          const SortedPoint* expected = std::lower_bound(
              begin, end, key, [](const SortedPoint& p, std::uint32_t k) { return p.longitude < k; });
          ASSERT_EQ(band.RowLowerBound(row, key), expected)
              << "rows of " << first << " and " << second << ", row " << row << ", key " << key;
        }
      }
    }
  }
}

}  // namespace
}  // namespace kavrel
