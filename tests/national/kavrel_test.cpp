// The kavrel_ interface on the national package: the designed mode against
// ReverseGeocoding, the nearest mode against a scan of every point, and many
// threads on one handle against one thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "kavrel/format/data_package.h"
#include "engine_app.h"
#include "kavrel.h"
#include "kavrel/platform/text.h"
#include "kavrelcore.h"
#include "library_text.h"
#include "search.h"
#include "search_index.h"
#include "test_support.h"

namespace kavrel::test {
namespace {

// The sanitizer build runs the heavy loops on a tenth of the rows.
#ifdef KAVREL_SANITIZED_BUILD
constexpr std::size_t kScale = 10;
#else
constexpr std::size_t kScale = 1;
#endif

struct Coordinate {
  double latitude;
  double longitude;
};

class KavrelNational : public testing::Test {
protected:
  static void SetUpTestSuite() {
    if (!platform::FileExists(NationalPackagePath())) return;
    ASSERT_EQ(kavrel_open(NationalPackagePath().c_str(), &s_handle), KAVREL_SUCCESS);
    CDataPackage package;
    ASSERT_EQ(package.Open(platform::Utf8ToUtf16(NationalPackagePath())), PackageStatus::kOk);
    package.LoadAll();
    s_index = std::make_unique<SearchIndex>(package);
  }
  static void TearDownTestSuite() {
    kavrel_close(s_handle);
    s_handle = nullptr;
    s_index.reset();
  }
  void SetUp() override { KAVREL_REQUIRE_NATIONAL_PACKAGE(); }

  // `count` queries of every kind the designed search meets: near real
  // points, exactly on them, on and just below band edges, at sea anywhere in
  // the covered box, outside it, and NaN.
  static std::vector<Coordinate> MixedQueries(std::size_t count, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> pick(0, s_index->PointCount() - 1);
    std::uniform_real_distribution<double> jitter(-0.003, 0.003);
    std::uniform_real_distribution<double> boxLatitude(24.0, 46.0), boxLongitude(122.0, 149.0);
    std::vector<Coordinate> queries;
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t p = pick(random);
      const double latitude = KeyDegrees(s_index->Latitude(s_index->Locate(p)));
      const double longitude = KeyDegrees(s_index->Longitude(s_index->Locate(p)));
      const double bandEdge = KeyDegrees(s_index->Latitude(s_index->Locate(p)) / 10000 * 10000);
      switch (i % 10) {
        case 0: queries.push_back({latitude, longitude}); break;
        case 1: queries.push_back({bandEdge, longitude + jitter(random)}); break;
        case 2: queries.push_back({bandEdge - 1e-6, longitude + jitter(random)}); break;
        case 3: queries.push_back({boxLatitude(random), boxLongitude(random)}); break;
        case 4: queries.push_back({boxLatitude(random) + 25.0, boxLongitude(random) - 30.0}); break;
        default: queries.push_back({latitude + jitter(random), longitude + jitter(random)}); break;
      }
    }
    queries[count / 2] = {std::numeric_limits<double>::quiet_NaN(), 139.0};
    return queries;
  }

  static kavrel_geocoder* s_handle;
  static std::unique_ptr<SearchIndex> s_index;
};

kavrel_geocoder* KavrelNational::s_handle = nullptr;
std::unique_ptr<SearchIndex> KavrelNational::s_index;

TEST_F(KavrelNational, DesignedModeGivesWhatReverseGeocodingGives) {
  ASSERT_EQ(Initialize(LibraryText(platform::Utf8ToUtf16(NationalPackagePath())).c_str()), KAVREL_OK);
  ASSERT_EQ(PreloadData(), KAVREL_OK);
  SetSeparator(LibraryText(u"|").c_str());
  // The engine whose search also says which point won.
  CkavrelcoreApp engine;
  ASSERT_EQ(engine.Initialize(platform::Utf8ToUtf16(NationalPackagePath()).c_str()), KAVREL_OK);
  ASSERT_EQ(engine.PreloadData(), KAVREL_OK);

  struct Parameters {
    std::int32_t step, width;
    std::size_t queries;
  };
  const Parameters parameters[] = {
      {50, 3000, 120000}, {100, 300, 60000}, {1, 1, 6000}, {7, 13, 6000},
      {3000, 50, 6000},   {65536, 65536, 6000},  // the product wraps to 0: the 100/300 fallback
      // The product wraps to a positive number: 20167 bands each way, past
      // what the index follows, so the ring search runs on the loaded bands.
      {70000, 70000, 200},
  };
  std::size_t compared = 0, found = 0;
  for (const Parameters& p : parameters) {
    SetStep(p.step, p.width);
    engine.SetStep(p.step, p.width);
    const kavrel_query query = {KAVREL_MODE_DESIGNED, p.step, p.width, 0};
    for (const Coordinate& q : MixedQueries(p.queries / kScale, p.step)) {
      kavrel_char text[512];
      std::uint32_t length = 512;
      const std::int32_t designed = ReverseGeocoding(q.latitude, q.longitude, text, &length, nullptr);
      kavrel_answer answer;
      const std::int32_t result = kavrel_lookup(s_handle, q.latitude, q.longitude, &query, &answer);
      ++compared;
      // Where the keys cannot hold the coordinate the designed search reads
      // a wrapped key (NaN reads as latitude 0, which the widest searches
      // reach from Japan); the handle answers nothing there.
      const bool keysHold = q.latitude * 1e6 > -1.0 && q.latitude <= 90.0 && q.longitude * 1e6 > -1.0 &&
                            q.longitude <= 180.0;
      if (!keysHold) {
        ASSERT_EQ(result, KAVREL_NO_ANSWER) << q.latitude << "," << q.longitude;
        continue;
      }
      ASSERT_EQ(result, designed) << p.step << "/" << p.width << " at " << q.latitude << "," << q.longitude;
      if (result != KAVREL_SUCCESS) continue;
      ++found;
      const std::string joined = std::string(answer.prefecture) + "|" + answer.city + "|" + answer.area;
      ASSERT_EQ(joined, platform::Utf16ToUtf8(Utf16Text(text))) << q.latitude << "," << q.longitude;
      AddressKey keys;
      ASSERT_EQ(engine.FindNearestPoint(CoordinateKey(q.latitude), CoordinateKey(q.longitude), keys), 0);
      ASSERT_EQ(answer.prefecture_key, keys.nPref);
      ASSERT_EQ(answer.city_key, keys.nCity);
      ASSERT_EQ(answer.area_key, keys.nArea);
      const double distance = PointDistance(q.latitude, q.longitude, answer.latitude, answer.longitude);
      ASSERT_EQ(answer.distance, distance);
    }
  }
  EXPECT_GE(compared, 200000u / kScale);

  // Most queries lie near towns; a test that finds nothing compares nothing.
  EXPECT_GT(found, compared / 2);
  Cleanup();
}

TEST_F(KavrelNational, NearestModeIsTheMinimumOverEveryPoint) {
  const std::size_t n = s_index->PointCount();
  // Every point, in order of latitude; the scan walks out from the query's
  // latitude both ways and stops on each side where the latitude difference
  // alone makes a point farther than the best so far: Hubeny's meridian
  // radius is never below 6335439 m.
  std::vector<std::pair<double, std::size_t>> byLatitude(n);
  for (std::size_t i = 0; i < n; ++i) byLatitude[i] = {KeyDegrees(s_index->Latitude(s_index->Locate(i))), i};
  std::sort(byLatitude.begin(), byLatitude.end());
  const double latitudeScale = 6335439.0 * (3.141592653589793 / 180.0) * (1 - 1e-9);
  // Likewise N cos(mean latitude) is never below 6378137 cos 46 degrees for
  // the queries and points here, all below 46 degrees north.
  const double longitudeScale = 6378137.0 * std::cos(46.0 / 180.0 * 3.141592653589793) *
                                (3.141592653589793 / 180.0) * (1 - 1e-9);

  std::mt19937 random(7);
  std::uniform_int_distribution<std::size_t> pick(0, n - 1);
  std::uniform_real_distribution<double> jitter(-0.02, 0.02);
  std::uniform_real_distribution<double> boxLatitude(24.0, 46.0), boxLongitude(122.0, 149.0);
  const kavrel_query query = {KAVREL_MODE_NEAREST, 0, 0, std::numeric_limits<double>::infinity()};
  const std::size_t count = 20000 / kScale;
  for (std::size_t k = 0; k < count; ++k) {
    Coordinate q{boxLatitude(random), boxLongitude(random)};
    if (k % 4 != 0) {
      const std::size_t p = pick(random);
      q = {KeyDegrees(s_index->Latitude(s_index->Locate(p))) + jitter(random), KeyDegrees(s_index->Longitude(s_index->Locate(p))) + jitter(random)};
    }
    double best = std::numeric_limits<double>::infinity();
    std::size_t bestIndex = n;
    const auto measure = [&](std::size_t i) {
      if (std::fabs(q.longitude - KeyDegrees(s_index->Longitude(s_index->Locate(i)))) * longitudeScale > best) return;
      const double distance = PointDistance(q.latitude, q.longitude, KeyDegrees(s_index->Latitude(s_index->Locate(i))),
                                            KeyDegrees(s_index->Longitude(s_index->Locate(i))));
      // Equal distances: the point first in the package wins.
      if (distance < best || (distance == best && i < bestIndex)) {
        best = distance;
        bestIndex = i;
      }
    };
    const auto middle = std::lower_bound(byLatitude.begin(), byLatitude.end(), std::pair{q.latitude, std::size_t{0}});
    for (auto up = middle; up != byLatitude.end() && (up->first - q.latitude) * latitudeScale <= best; ++up) {
      measure(up->second);
    }
    for (auto down = middle; down != byLatitude.begin() && (q.latitude - (down - 1)->first) * latitudeScale <= best;) {
      measure((--down)->second);
    }
    kavrel_answer answer;
    ASSERT_EQ(kavrel_lookup(s_handle, q.latitude, q.longitude, &query, &answer), KAVREL_SUCCESS);
    ASSERT_EQ(answer.distance, best) << q.latitude << "," << q.longitude;
    ASSERT_EQ(answer.latitude, KeyDegrees(s_index->Latitude(s_index->Locate(bestIndex)))) << q.latitude << "," << q.longitude;
    ASSERT_EQ(answer.longitude, KeyDegrees(s_index->Longitude(s_index->Locate(bestIndex)))) << q.latitude << "," << q.longitude;
    ASSERT_EQ(answer.area_key, s_index->Keys(s_index->Locate(bestIndex)).nArea) << q.latitude << "," << q.longitude;
  }
}

TEST_F(KavrelNational, NearestModeReachesOnlyTheDefaultDistanceUnlessTold) {
  // Open sea south of Honshu, Seoul, and a point in Africa: the nearest
  // address point of each lies far beyond the default reach. A point off
  // Tokyo Bay's shore lies within it.
  const double infinity = std::numeric_limits<double>::infinity();
  struct Case {
    double latitude;
    double longitude;
    std::int32_t mode;
    double maxDistance;
    std::int32_t result;
  };
  const Case cases[] = {
      {32.0, 138.0, KAVREL_MODE_NEAREST, 0, KAVREL_NO_ANSWER},
      {32.0, 138.0, KAVREL_MODE_NEAREST, infinity, KAVREL_SUCCESS},
      {32.0, 138.0, KAVREL_MODE_NEAREST, 10000, KAVREL_NO_ANSWER},
      {32.0, 138.0, KAVREL_MODE_DESIGNED, 0, KAVREL_NO_ANSWER},  // beyond the loaded bands
      {37.5665, 126.9780, KAVREL_MODE_NEAREST, 0, KAVREL_NO_ANSWER},
      {37.5665, 126.9780, KAVREL_MODE_NEAREST, infinity, KAVREL_SUCCESS},
      {10.0, 10.0, KAVREL_MODE_NEAREST, 0, KAVREL_NO_ANSWER},
      {10.0, 10.0, KAVREL_MODE_NEAREST, infinity, KAVREL_SUCCESS},
      {35.5, 139.85, KAVREL_MODE_NEAREST, 0, KAVREL_SUCCESS},
  };
  for (const Case& c : cases) {
    const kavrel_query query = {c.mode, 0, 0, c.maxDistance};
    kavrel_answer answer;
    EXPECT_EQ(kavrel_lookup(s_handle, c.latitude, c.longitude, &query, &answer), c.result)
        << c.latitude << "," << c.longitude << " mode " << c.mode << " " << c.maxDistance;
    if (c.result == KAVREL_SUCCESS && c.maxDistance == infinity) {
      EXPECT_GT(answer.distance, KAVREL_DEFAULT_REACH);
    }
  }
  // A wide designed window (3 degrees) reaches farther than the default
  // reach of nearest mode, and keeps doing so: no limit unless one is given.
  const kavrel_query designed = {KAVREL_MODE_DESIGNED, 1000, 3000, 0};
  kavrel_answer answer;
  ASSERT_EQ(kavrel_lookup(s_handle, 33.5, 138.0, &designed, &answer), KAVREL_SUCCESS);
  EXPECT_GT(answer.distance, 100000.0);
}

TEST_F(KavrelNational, EightThreadsOnOneHandleAnswerAsOneThread) {
  // Mostly near towns, as real tracks are; every twentieth anywhere in the
  // covered box, mostly at sea.
  const std::size_t count = 1000000 / kScale;
  std::mt19937 random(42);
  std::uniform_int_distribution<std::size_t> pick(0, s_index->PointCount() - 1);
  std::uniform_real_distribution<double> jitter(-0.003, 0.003);
  std::uniform_real_distribution<double> boxLatitude(24.0, 46.0), boxLongitude(122.0, 149.0);
  std::vector<double> latitudes, longitudes;
  for (std::size_t i = 0; i < count; ++i) {
    if (i % 20 == 0) {
      latitudes.push_back(boxLatitude(random));
      longitudes.push_back(boxLongitude(random));
    } else {
      const std::size_t p = pick(random);
      latitudes.push_back(KeyDegrees(s_index->Latitude(s_index->Locate(p))) + jitter(random));
      longitudes.push_back(KeyDegrees(s_index->Longitude(s_index->Locate(p))) + jitter(random));
    }
  }
  for (std::int32_t mode : {KAVREL_MODE_DESIGNED, KAVREL_MODE_NEAREST}) {
    const kavrel_query query = {mode, 0, 0, 0};
    std::vector<kavrel_answer> one(count), eight(count);
    std::vector<std::int32_t> oneResults(count), eightResults(count);
    ASSERT_EQ(kavrel_lookup_many(s_handle, count, latitudes.data(), longitudes.data(), &query, 1, one.data(),
                                 oneResults.data()),
              KAVREL_SUCCESS);
    ASSERT_EQ(kavrel_lookup_many(s_handle, count, latitudes.data(), longitudes.data(), &query, 8, eight.data(),
                                 eightResults.data()),
              KAVREL_SUCCESS);
    std::size_t answered = 0;
    for (std::size_t i = 0; i < count; ++i) {
      ASSERT_EQ(oneResults[i], eightResults[i]) << i;
      ASSERT_EQ(one[i].area, eight[i].area) << i;
      ASSERT_EQ(one[i].area_key, eight[i].area_key) << i;
      ASSERT_TRUE(one[i].distance == eight[i].distance || std::isnan(one[i].distance)) << i;
      answered += oneResults[i] == KAVREL_SUCCESS;
    }
    EXPECT_GT(answered, count / 2) << mode;
  }
}

// A fresh handle has built nothing: eight threads that touch the same cold
// bands and name blocks at once, in both modes, must build each once and
// answer as a handle that preloaded everything.
TEST_F(KavrelNational, ThreadsTouchingColdBandsAtOnceAnswerAsAPreloadedHandle) {
  const std::vector<Coordinate> queries = MixedQueries(4000 / kScale, 7);
  ASSERT_EQ(kavrel_preload(s_handle, KAVREL_MODE_NEAREST), KAVREL_SUCCESS);
  kavrel_geocoder* cold = nullptr;
  ASSERT_EQ(kavrel_open(NationalPackagePath().c_str(), &cold), KAVREL_SUCCESS);
  constexpr std::size_t kThreads = 8;
  std::vector<std::vector<kavrel_answer>> answers(kThreads, std::vector<kavrel_answer>(2 * queries.size()));
  std::vector<std::vector<std::int32_t>> results(kThreads, std::vector<std::int32_t>(2 * queries.size()));
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // Each thread starts elsewhere, so that first touches meet.
      for (std::size_t k = 0; k < 2 * queries.size(); ++k) {
        const std::size_t i = (k + t * queries.size() / kThreads) % (2 * queries.size());
        const kavrel_query query = {i < queries.size() ? KAVREL_MODE_DESIGNED : KAVREL_MODE_NEAREST, 0, 0, 0};
        const Coordinate& q = queries[i % queries.size()];
        results[t][i] = kavrel_lookup(cold, q.latitude, q.longitude, &query, &answers[t][i]);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (std::size_t i = 0; i < 2 * queries.size(); ++i) {
    const kavrel_query query = {i < queries.size() ? KAVREL_MODE_DESIGNED : KAVREL_MODE_NEAREST, 0, 0, 0};
    const Coordinate& q = queries[i % queries.size()];
    kavrel_answer expected;
    const std::int32_t result = kavrel_lookup(s_handle, q.latitude, q.longitude, &query, &expected);
    for (std::size_t t = 0; t < kThreads; ++t) {
      ASSERT_EQ(results[t][i], result) << i;
      if (result != KAVREL_SUCCESS) continue;
      ASSERT_STREQ(answers[t][i].area, expected.area) << i;
      ASSERT_STREQ(answers[t][i].city, expected.city) << i;
      ASSERT_EQ(answers[t][i].area_key, expected.area_key) << i;
      ASSERT_EQ(answers[t][i].latitude, expected.latitude) << i;
      ASSERT_EQ(answers[t][i].longitude, expected.longitude) << i;
    }
  }
  kavrel_facts coldFacts, preloadedFacts;
  ASSERT_EQ(kavrel_facts_of(cold, &coldFacts), KAVREL_SUCCESS);
  ASSERT_EQ(kavrel_facts_of(s_handle, &preloadedFacts), KAVREL_SUCCESS);
  EXPECT_EQ(coldFacts.points, preloadedFacts.points);
  EXPECT_EQ(coldFacts.areas, preloadedFacts.areas);
  kavrel_close(cold);
}

}  // namespace
}  // namespace kavrel::test
