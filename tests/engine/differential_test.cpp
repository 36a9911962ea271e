// The engine's lookups against the ring search as defined, on seeded random
// packages built to meet the rules' corners: equal latitudes and equal
// longitude distances, points exactly on a ring's radius, window boundary
// points, longitude 0, one-point, empty and missing bands, irregular blocks
// (out of order, outside their band, trailing bytes, undecodable, repeated
// names), band keys that wrap around 2^32, and parameters that wrap.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "designed_lookup.h"
#include "kavrel/format/blocks.h"
#include "kavrel/platform/text.h"
#include "test_packages.h"

namespace kavrel::test {
namespace {

#ifdef KAVREL_SANITIZED_BUILD
constexpr int kPackages = 40;
#else
constexpr int kPackages = 160;
#endif
constexpr int kQueriesPerSearch = 24;

using Random = std::mt19937;

int Pick(Random& random, int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
bool Chance(Random& random, int percent) { return Pick(random, 0, 99) < percent; }

// The search parameters of one batch: through SetStep, or set directly
// (bandRange >= -1000000) to reach values SetStep never gives.
struct Search {
  std::int32_t step, width;
  std::int32_t bandRange = std::numeric_limits<std::int32_t>::min();
};
const Search kSearches[] = {
    {100, 300},  {50, 3000}, {1, 1},     {7, 13},        {10, 100000},      {3, 20000},
    {0, 300},    {-5, 300},  {250, 120}, {65536, 65537}, {46341, 46341},    {100, 300, 3},
    {250, 40, 1}, {100, 0, 1}, {0, 300, 1}, {-100, 300, 1}, {2000000000, 2, 1}, {1 << 30, 3, 2},
};

void Apply(CkavrelcoreApp& engine, const Search& search) {
  if (search.bandRange == std::numeric_limits<std::int32_t>::min()) {
    engine.SetStep(search.step, search.width);
  } else {
    engine.SetParameters({search.step, search.width, search.bandRange});
  }
}

std::string Cp932(const std::u16string& text) { return platform::Utf16ToCp932(text); }

// A name text: mostly ordinary, sometimes bytes that code page 932 cannot
// decode or that hold a null.
std::string NameText(Random& random, const char* level, std::uint32_t key) {
  switch (Pick(random, 0, 19)) {
    case 0: return std::string("\x82", 1);             // a lone lead byte
    case 1: return std::string("ab\0cd", 5);           // cut at the null
    case 2: return std::string("\x81\x00", 2);         // lead byte, then null
    case 3: return std::string("\xFF\xFE\x80", 3);
    default: return Cp932(u"名") + level + std::to_string(key);
  }
}

// Name records for `keys`, in shuffled order, some repeated (the first
// counts), some empty, some for keys of other blocks.
std::string NameRecords(Random& random, const char* level, std::vector<std::uint32_t> keys, std::uint32_t strayKey) {
  std::shuffle(keys.begin(), keys.end(), random);
  std::string block;
  for (const std::uint32_t key : keys) {
    if (Chance(random, 15)) continue;
    block += NameRecord(key, Chance(random, 5) ? "" : NameText(random, level, key));
    if (Chance(random, 10)) block += NameRecord(key, NameText(random, level, key + 1));
    if (Chance(random, 5)) block += NameRecord(strayKey, NameText(random, level, strayKey));
  }
  return block;
}

// A random package around the band `firstBand` (16 bands, wrapping at 2^32
// when firstBand is near its top) with names for its keys.
pack::PackageWriter RandomPackage(Random& random, std::uint32_t firstBand, std::uint32_t lonBase) {
  std::map<std::uint32_t, std::vector<Point>> bands;  // by band key, as written
  std::vector<std::uint32_t> bandOrder;
  for (int j = 0; j < 16; ++j) {
    const std::uint32_t band = BandOf(firstBand + static_cast<std::uint32_t>(j) * kBandHeight);
    const int kind = Pick(random, 0, 99);
    if (kind < 20) continue;  // no block at all
    std::vector<Point>& points = bands[band];
    bandOrder.push_back(band);
    const int count = kind < 28 ? 0 : kind < 40 ? 1 : Pick(random, 2, 40);
    for (int i = 0; i < count; ++i) {
      static const std::uint32_t kOffsets[] = {0, 1, 5000, 9999, 9998, 2500, 7500};
      const std::uint32_t offset = Chance(random, 40) ? kOffsets[Pick(random, 0, 6)]
                                   : Chance(random, 50) ? 250u * static_cast<std::uint32_t>(Pick(random, 0, 39))
                                                        : static_cast<std::uint32_t>(Pick(random, 0, 9999));
      if (std::uint64_t{band} + offset > std::numeric_limits<std::uint32_t>::max()) continue;
      std::int32_t lonOffset = 50 * Pick(random, -60, 60);
      if (Chance(random, 10)) lonOffset = Pick(random, -300000, 300000);
      Point point{band + offset, lonBase + static_cast<std::uint32_t>(lonOffset)};
      if (Chance(random, 3)) point.lon = 0;
      point.pref = static_cast<std::uint8_t>(Pick(random, 0, 6));
      point.city = static_cast<std::uint16_t>(Pick(random, 0, 30));
      point.area = static_cast<std::uint32_t>(Pick(random, 0, 3999));
      point.extra = static_cast<std::uint8_t>(Pick(random, 0, 255));
      points.push_back(point);
    }
    std::stable_sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.lat < b.lat; });
  }

  pack::PackageWriter writer;
  const int fault = Chance(random, 40) ? Pick(random, 0, 5) : -1;
  const std::size_t faulty = bandOrder.empty() ? 0 : static_cast<std::size_t>(Pick(random, 0, static_cast<int>(bandOrder.size()) - 1));
  std::shuffle(bandOrder.begin(), bandOrder.end(), random);
  for (std::size_t b = 0; b < bandOrder.size(); ++b) {
    const std::uint32_t band = bandOrder[b];
    std::vector<Point> points = bands[band];
    const std::string name = platform::Utf16ToUtf8(BuildPointBlockName(band));
    std::string block = PointBlock(points);
    if (b == faulty) {
      switch (fault) {
        case 0:  // two points out of latitude order
          if (points.size() >= 2 && points.front().lat != points.back().lat) {
            std::swap(points.front(), points.back());
            block = PointBlock(points);
          }
          break;
        case 1:  // a point beyond its band
          block += PointRecord({band + kBandHeight + 5, lonBase});
          break;
        case 2:  // trailing bytes: reported at every load
          block += "XY";
          break;
        case 3:  // does not inflate: never loads
          writer.AddStored(name, "\xFF\xFF\xFF\xFF", kMethodDeflate);
          continue;
        default:
          break;
      }
    }
    writer.Add(name, block, Chance(random, 30) ? kMethodStored : kMethodDeflate);
    // A later entry of the same name is never read.
    if (b == faulty && fault == 4) writer.Add(name, PointBlock({{band + 3, lonBase}}));
  }

  std::vector<std::uint32_t> prefs(7), cities(31);
  for (std::uint32_t k = 0; k < prefs.size(); ++k) prefs[k] = k;
  for (std::uint32_t k = 0; k < cities.size(); ++k) cities[k] = k;
  writer.Add("/P/000000.gzbin", NameRecords(random, "P", prefs, 300));
  writer.Add("/C/000000.gzbin", NameRecords(random, "C", cities, 70000));
  for (std::uint32_t block = 0; block < 4; ++block) {
    const std::string name = platform::Utf16ToUtf8(BuildNameBlockName(kLevelArea, block * 1000));
    if (Chance(random, 15)) continue;
    if (Chance(random, 5)) {
      writer.AddStored(name, "\xFF\xFF", kMethodDeflate);
      continue;
    }
    std::vector<std::uint32_t> keys;
    for (std::uint32_t k = 0; k < 1000; k += static_cast<std::uint32_t>(Pick(random, 1, 4))) keys.push_back(block * 1000 + k);
    writer.Add(name, NameRecords(random, "S", keys, (block + 1) * 1000 + 7));
    if (fault == 5) writer.Add(name, NameRecord(block * 1000, "repeated"));
  }
  return writer;
}

// Query keys around the points of a package: on them, a whole number of
// steps away, at band edges, or anywhere in the area.
std::vector<std::pair<std::uint32_t, std::uint32_t>> Queries(Random& random, std::uint32_t firstBand,
                                                            std::uint32_t lonBase, std::int32_t step) {
  const std::int64_t ring = step > 0 && step < 100000 ? step : 100;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> keys;
  for (int q = 0; q < kQueriesPerSearch; ++q) {
    const std::uint32_t band = BandOf(firstBand + static_cast<std::uint32_t>(Pick(random, 0, 15)) * kBandHeight);
    std::uint32_t lat = band + static_cast<std::uint32_t>(250 * Pick(random, 0, 39));
    switch (Pick(random, 0, 3)) {
      case 0: lat = band; break;
      case 1: lat = band - 1; break;
      case 2: lat += static_cast<std::uint32_t>(ring * Pick(random, -3, 3)); break;
      default: lat += static_cast<std::uint32_t>(Pick(random, -9999, 9999)); break;
    }
    std::uint32_t lon = lonBase + static_cast<std::uint32_t>(50 * Pick(random, -60, 60));
    if (Chance(random, 50)) lon += static_cast<std::uint32_t>(ring * Pick(random, -2, 2));
    if (Chance(random, 10)) lon = lonBase + static_cast<std::uint32_t>(Pick(random, -400000, 400000));
    keys.emplace_back(lat, lon);
  }
  return keys;
}

struct Batch {
  std::vector<Lookup> lookups;
  std::string diagnostics;
};

template <typename Run>
Batch RunBatch(CkavrelcoreApp& engine, const Search& search,
               const std::vector<std::pair<std::uint32_t, std::uint32_t>>& queries, Run run) {
  Batch batch;
  testing::internal::CaptureStderr();
  for (const auto& [lat, lon] : queries) {
    Apply(engine, search);
    batch.lookups.push_back(run(engine, Degrees(lat), Degrees(lon)));
  }
  batch.diagnostics = testing::internal::GetCapturedStderr();
  return batch;
}

TEST(DifferentialSearch, RandomPackagesGiveTheRingSearchAnswerPreloadedAndNot) {
  Random random(20261208);
  int mismatches = 0;
  int found = 0;
  int total = 0;
  for (int p = 0; p < kPackages; ++p) {
    // Most packages around Tokyo; some across the top of the key range, so
    // that band keys wrap; some with longitudes around 0, so that distances
    // wrap.
    const std::uint32_t firstBand = Chance(random, 12) ? static_cast<std::uint32_t>(-60000) : 35600000;
    const std::uint32_t lonBase = Chance(random, 12) ? 2000 : 139700000;
    const pack::PackageWriter writer = RandomPackage(random, firstBand, lonBase);
    TestEngine preloaded(writer);
    TestEngine plain(writer);
    preloaded->SetSeparator(u"|");
    plain->SetSeparator(u"|");
    testing::internal::CaptureStderr();
    preloaded->PreloadData();
    testing::internal::GetCapturedStderr();

    for (const Search& search : kSearches) {
      const auto queries = Queries(random, firstBand, lonBase, search.step);
      const Batch fast = RunBatch(*preloaded, search, queries, EngineLookup);
      const Batch designed = RunBatch(*preloaded, search, queries, DesignedLookup);
      const Batch onePass = RunBatch(*plain, search, queries, EngineLookup);
      EXPECT_EQ(fast.diagnostics, designed.diagnostics) << "package " << p << " step " << search.step;
      EXPECT_EQ(onePass.diagnostics, designed.diagnostics) << "package " << p << " step " << search.step;
      for (std::size_t q = 0; q < queries.size(); ++q) {
        ++total;
        found += designed.lookups[q].code == 0;
        const bool same = fast.lookups[q] == designed.lookups[q] && onePass.lookups[q] == designed.lookups[q] &&
                          onePass.lookups[q].longitudes == designed.lookups[q].longitudes;
        if (!same && ++mismatches <= 10) {
          ADD_FAILURE() << "package " << p << ", step " << search.step << " width " << search.width << " range "
                        << search.bandRange << ", keys " << queries[q].first << "," << queries[q].second
                        << "\n designed: " << designed.lookups[q] << "\n fast:     " << fast.lookups[q]
                        << "\n one pass: " << onePass.lookups[q]
                        << (onePass.lookups[q].longitudes == designed.lookups[q].longitudes ? "" : "\n (the point lists differ)");
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0) << "of " << total << " lookups";
  // The packages must really be searched: most lookups find a point.
  EXPECT_GT(found, total / 2) << "of " << total;
}

}  // namespace
}  // namespace kavrel::test
