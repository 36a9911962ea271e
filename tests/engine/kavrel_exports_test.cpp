// The kavrel_ interface on small packages made in the tests: opening,
// checked queries, both modes, the distance limit, many rows on threads,
// names and facts, several handles beside the designed engine.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "kavrel.h"
#include "kavrel_results.h"
#include "kavrelcore.h"
#include "library_text.h"
#include "lookup_parts.h"
#include "test_packages.h"

namespace kavrel::test {
namespace {

// A package written to a temporary folder and a handle that has opened it.
class Handle {
public:
  explicit Handle(const pack::PackageWriter& writer) : m_path(m_dir / "test.bin") {
    WriteBytes(m_path, writer.Serialize());
    EXPECT_EQ(kavrel_open(m_path.c_str(), &m_handle), KAVREL_SUCCESS);
  }
  ~Handle() { kavrel_close(m_handle); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  const kavrel_geocoder* get() const { return m_handle; }
  const std::string& Path() const { return m_path; }

private:
  TempDir m_dir;
  std::string m_path;
  kavrel_geocoder* m_handle = nullptr;
};

kavrel_query Query(int32_t mode, int32_t step = 0, int32_t width = 0, double maxDistance = 0) {
  return {mode, step, width, maxDistance};
}

std::string Joined(const kavrel_answer& answer) {
  return std::string(answer.prefecture) + "|" + answer.city + "|" + answer.area;
}

bool IsEmpty(const kavrel_answer& answer) {
  return answer.prefecture == nullptr && answer.city == nullptr && answer.area == nullptr &&
         answer.prefecture_key == 0 && answer.city_key == 0 && answer.area_key == 0 &&
         std::isnan(answer.latitude) && std::isnan(answer.longitude) && std::isnan(answer.distance);
}

// Two points where the ring search and the nearest point disagree: A on the
// query's latitude 150 microdegrees east, B 5000 microdegrees north and 50
// east. With step 100 the ring search takes B in its first ring; A is nearer.
pack::PackageWriter RingVersusNearestPackage() {
  pack::PackageWriter writer = PointPackage({{35000000, 139000150, 1, 1, 1}, {35005000, 139000050, 1, 1, 2}});
  writer.Add("/P/000000.gzbin", NameBlock({{1, u"県"}}));
  writer.Add("/C/000000.gzbin", NameBlock({{1, u"市"}}));
  writer.Add("/S/000000.gzbin", NameBlock({{1, u"A"}, {2, u"B"}}));
  return writer;
}

TEST(KavrelOpen, FailuresLeaveNoHandle) {
  TempDir dir;
  WriteBytes(dir / "not-a-package.bin", "plain text, not a package");
  struct Case {
    std::string path;
    int32_t result;
  };
  const Case cases[] = {
      {dir / "missing.bin", KAVREL_PACKAGE_NOT_FOUND},
      {dir.Path(), KAVREL_PACKAGE_NOT_FOUND},
      {dir / "not-a-package.bin", KAVREL_PACKAGE_DAMAGED},
  };
  for (const Case& c : cases) {
    kavrel_geocoder* handle = reinterpret_cast<kavrel_geocoder*>(&dir);
    EXPECT_EQ(kavrel_open(c.path.c_str(), &handle), c.result) << c.path;
    EXPECT_EQ(handle, nullptr) << c.path;
  }
  EXPECT_EQ(kavrel_open("x", nullptr), KAVREL_INVALID_ARGUMENT);
  kavrel_close(nullptr);
}

TEST(KavrelLookup, BothModesGiveTheNamesKeysPointAndDistance) {
  const Handle handle(TokyoStationPackage());
  for (int32_t mode : {KAVREL_MODE_DESIGNED, KAVREL_MODE_NEAREST}) {
    kavrel_answer answer;
    const kavrel_query query = Query(mode);
    ASSERT_EQ(kavrel_lookup(handle.get(), 35.6815, 139.7670, &query, &answer), KAVREL_SUCCESS) << mode;
    EXPECT_EQ(Joined(answer), "東京都|千代田区|丸の内一丁目");
    EXPECT_EQ(answer.prefecture_key, 13u);
    EXPECT_EQ(answer.city_key, 101u);
    EXPECT_EQ(answer.area_key, 1234u);
    EXPECT_EQ(answer.latitude, 35681236 / 1e6);
    EXPECT_EQ(answer.longitude, 139767125 / 1e6);
    EXPECT_EQ(answer.distance, PointDistance(35.6815, 139.7670, answer.latitude, answer.longitude));
  }
  // A NULL query is the zero-filled one.
  kavrel_answer answer;
  EXPECT_EQ(kavrel_lookup(handle.get(), 35.6815, 139.7670, nullptr, &answer), KAVREL_SUCCESS);
}

TEST(KavrelLookup, InvalidArgumentsGiveTheEmptyAnswer) {
  const Handle handle(TokyoStationPackage());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    kavrel_query query;
    double latitude, longitude;
    int32_t result;
  };
  const Case cases[] = {
      {Query(2), 35.68, 139.76, KAVREL_INVALID_ARGUMENT},
      {Query(-1), 35.68, 139.76, KAVREL_INVALID_ARGUMENT},
      {Query(KAVREL_MODE_DESIGNED, -1, 300), 35.68, 139.76, KAVREL_INVALID_ARGUMENT},
      {Query(KAVREL_MODE_DESIGNED, 100, -1), 35.68, 139.76, KAVREL_INVALID_ARGUMENT},
      {Query(KAVREL_MODE_NEAREST), 90.5, 139.76, KAVREL_INVALID_ARGUMENT},
      {Query(KAVREL_MODE_NEAREST), 35.68, -180.5, KAVREL_INVALID_ARGUMENT},
      {Query(KAVREL_MODE_NEAREST), nan, 139.76, KAVREL_INVALID_ARGUMENT},
      {Query(KAVREL_MODE_NEAREST), 35.68, std::numeric_limits<double>::infinity(), KAVREL_INVALID_ARGUMENT},
      // The designed search takes anything, as ReverseGeocoding does.
      {Query(KAVREL_MODE_DESIGNED), nan, 139.76, KAVREL_NO_ANSWER},
      {Query(KAVREL_MODE_DESIGNED), -35.68, 139.76, KAVREL_NO_ANSWER},
      // A reach must be positive (INFINITY: no limit) or 0 (the default).
      {Query(KAVREL_MODE_NEAREST, 0, 0, -1.0), 35.68, 139.76, KAVREL_INVALID_ARGUMENT},
      {Query(KAVREL_MODE_DESIGNED, 0, 0, nan), 35.68, 139.76, KAVREL_INVALID_ARGUMENT},
      // The whole package is searched: without a limit the far side of the
      // earth still has a nearest point; the default reach refuses it.
      {Query(KAVREL_MODE_NEAREST, 0, 0, std::numeric_limits<double>::infinity()), -90.0, -180.0, KAVREL_SUCCESS},
      {Query(KAVREL_MODE_NEAREST), -90.0, -180.0, KAVREL_NO_ANSWER},
  };
  for (const Case& c : cases) {
    kavrel_answer answer;
    EXPECT_EQ(kavrel_lookup(handle.get(), c.latitude, c.longitude, &c.query, &answer), c.result)
        << c.query.mode << " " << c.query.step << " " << c.query.width << " " << c.latitude << "," << c.longitude;
    EXPECT_EQ(IsEmpty(answer), c.result != KAVREL_SUCCESS);
  }
  kavrel_answer answer;
  EXPECT_EQ(kavrel_lookup(nullptr, 35.68, 139.76, nullptr, &answer), KAVREL_INVALID_ARGUMENT);
  EXPECT_EQ(kavrel_lookup(handle.get(), 35.68, 139.76, nullptr, nullptr), KAVREL_INVALID_ARGUMENT);
}

// A coordinate whose microdegree key would wrap around 2^32 finds nothing in
// the designed mode, where ReverseGeocoding's arithmetic reads latitude
// 4330.648532 and -4259.286060 as 35.681236 and longitude 4434.734421 as
// 139.767125, Tokyo Station's; the nearest mode refuses it.
TEST(KavrelLookup, ACoordinateBeyondItsKeysRangeIsNoAnswerNeverAWrappedOne) {
  const Handle handle(TokyoStationPackage());
  const double latitude = 35.681236;
  const double longitude = 139.767125;
  struct Case {
    double latitude, longitude;
    int32_t designed, nearest;
  };
  const Case cases[] = {
      {latitude, longitude, KAVREL_SUCCESS, KAVREL_SUCCESS},
      {4330.648532, longitude, KAVREL_NO_ANSWER, KAVREL_INVALID_ARGUMENT},
      {-4259.286060, longitude, KAVREL_NO_ANSWER, KAVREL_INVALID_ARGUMENT},
      {latitude, 4434.734421, KAVREL_NO_ANSWER, KAVREL_INVALID_ARGUMENT},
      {latitude, -4155.200171, KAVREL_NO_ANSWER, KAVREL_INVALID_ARGUMENT},
      {90.000001, longitude, KAVREL_NO_ANSWER, KAVREL_INVALID_ARGUMENT},
      {-std::numeric_limits<double>::infinity(), longitude, KAVREL_NO_ANSWER, KAVREL_INVALID_ARGUMENT},
  };
  for (const Case& c : cases) {
    for (int32_t mode : {KAVREL_MODE_DESIGNED, KAVREL_MODE_NEAREST}) {
      const kavrel_query query = Query(mode, 0, 0, std::numeric_limits<double>::infinity());
      const int32_t expected = mode == KAVREL_MODE_DESIGNED ? c.designed : c.nearest;
      kavrel_answer answer;
      EXPECT_EQ(kavrel_lookup(handle.get(), c.latitude, c.longitude, &query, &answer), expected)
          << mode << ": " << c.latitude << "," << c.longitude;
      kavrel_answer row;
      int32_t result = 99;
      ASSERT_EQ(kavrel_lookup_many(handle.get(), 1, &c.latitude, &c.longitude, &query, 1, &row, &result),
                KAVREL_SUCCESS);
      EXPECT_EQ(result, expected) << mode << ": " << c.latitude << "," << c.longitude;
      EXPECT_EQ(IsEmpty(row), expected != KAVREL_SUCCESS);
    }
  }
  // The designed exports keep their arithmetic: the wrapped key finds Tokyo.
  ASSERT_EQ(Initialize(LibraryText(Wide(handle.Path())).c_str()), KAVREL_OK);
  SetStep(50, 3000);
  kavrel_char text[64];
  std::uint32_t length = 64;
  EXPECT_EQ(ReverseGeocoding(4330.648532, longitude, text, &length, nullptr), KAVREL_OK);
  EXPECT_EQ(Cleanup(), KAVREL_OK);
}

TEST(KavrelLookup, StepAndWidthActAsSetStepDoes) {
  // One point three bands north of the query: the default 50/3000 loads five
  // bands each way; 100/300 one; 10/100 falls back to 100/300 as SetStep and
  // ReverseGeocoding do; 100/1000 loads three.
  const Handle handle(PointPackage({{35030000, 139000000}}));
  struct Case {
    int32_t step, width;
    int32_t result;
  };
  const Case cases[] = {
      {0, 0, KAVREL_SUCCESS}, {50, 3000, KAVREL_SUCCESS}, {100, 300, KAVREL_NO_ANSWER},
      {10, 100, KAVREL_NO_ANSWER}, {100, 1000, KAVREL_SUCCESS}, {0, 1800, KAVREL_SUCCESS}, {100, 0, KAVREL_SUCCESS},
  };
  for (const Case& c : cases) {
    kavrel_answer answer;
    const kavrel_query query = Query(KAVREL_MODE_DESIGNED, c.step, c.width);
    EXPECT_EQ(kavrel_lookup(handle.get(), 35.0, 139.0, &query, &answer), c.result) << c.step << "/" << c.width;
  }
}

TEST(KavrelLookup, DesignedModeKeepsTheRingSearchNearestModeTheNearestPoint) {
  const Handle handle(RingVersusNearestPackage());
  struct Case {
    int32_t mode;
    const char* area;
  };
  for (const Case& c : {Case{KAVREL_MODE_DESIGNED, "B"}, Case{KAVREL_MODE_NEAREST, "A"}}) {
    kavrel_answer answer;
    const kavrel_query query = Query(c.mode, 100, 300);
    ASSERT_EQ(kavrel_lookup(handle.get(), 35.0, 139.0, &query, &answer), KAVREL_SUCCESS);
    EXPECT_STREQ(answer.area, c.area) << c.mode;
  }
}

TEST(KavrelLookup, NearestTiesGoToThePointFirstInThePackage) {
  // Three points on one spot, in record order area 7, 5, 6; and one a little
  // farther away.
  const Handle handle(PointPackage({{35000100, 139000100, 1, 1, 7},
                                    {35000100, 139000100, 1, 1, 5},
                                    {35000100, 139000100, 1, 1, 6},
                                    {35000000, 139000300, 1, 1, 8}}));
  kavrel_answer answer;
  const kavrel_query query = Query(KAVREL_MODE_NEAREST);
  ASSERT_EQ(kavrel_lookup(handle.get(), 35.0001, 139.0002, &query, &answer), KAVREL_SUCCESS);
  EXPECT_EQ(answer.area_key, 7u);
}

TEST(KavrelLookup, MaxDistanceTurnsAFartherPointIntoNoAnswer) {
  const Handle handle(TokyoStationPackage());
  // About 1.1 km south of the point.
  const double latitude = 35.671236;
  const double longitude = 139.767125;
  const double distance = PointDistance(latitude, longitude, 35.681236, 139.767125);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double maxDistance;
    int32_t result;
  };
  const Case cases[] = {
      {distance, KAVREL_SUCCESS},
      {std::nextafter(distance, 0.0), KAVREL_NO_ANSWER},
      {1.0, KAVREL_NO_ANSWER},
      {2000.0, KAVREL_SUCCESS},
      {0.0, KAVREL_SUCCESS},  // the mode's own reach
      {std::numeric_limits<double>::infinity(), KAVREL_SUCCESS},
      {-1.0, KAVREL_INVALID_ARGUMENT},
      {-std::numeric_limits<double>::infinity(), KAVREL_INVALID_ARGUMENT},
      {nan, KAVREL_INVALID_ARGUMENT},
  };
  for (int32_t mode : {KAVREL_MODE_DESIGNED, KAVREL_MODE_NEAREST}) {
    for (const Case& c : cases) {
      kavrel_answer answer;
      const kavrel_query query = Query(mode, 0, 0, c.maxDistance);
      EXPECT_EQ(kavrel_lookup(handle.get(), latitude, longitude, &query, &answer), c.result)
          << "mode " << mode << " limit " << c.maxDistance;
      if (c.result == KAVREL_SUCCESS) {
        EXPECT_EQ(answer.distance, distance);
      }
    }
  }
}

TEST(KavrelLookupMany, RowsMatchSingleLookupsWhateverTheThreads) {
  const Handle handle(RingVersusNearestPackage());
  std::vector<double> latitudes, longitudes;
  for (int i = 0; i < 101; ++i) {
    latitudes.push_back(34.999 + i * 0.0001);
    longitudes.push_back(138.999 + (i % 7) * 0.0005);
  }
  latitudes[50] = 20.0;  // nothing near in the designed mode
  for (int32_t mode : {KAVREL_MODE_DESIGNED, KAVREL_MODE_NEAREST}) {
    const kavrel_query query = Query(mode, 100, 300);
    for (int32_t threads : {0, 1, 3, 200}) {
      std::vector<kavrel_answer> answers(latitudes.size());
      std::vector<int32_t> results(latitudes.size(), 99);
      ASSERT_EQ(kavrel_lookup_many(handle.get(), latitudes.size(), latitudes.data(), longitudes.data(), &query,
                                   threads, answers.data(), results.data()),
                KAVREL_SUCCESS);
      for (std::size_t i = 0; i < latitudes.size(); ++i) {
        kavrel_answer single;
        EXPECT_EQ(results[i], kavrel_lookup(handle.get(), latitudes[i], longitudes[i], &query, &single));
        EXPECT_EQ(answers[i].area, single.area) << "row " << i << " threads " << threads;
        EXPECT_EQ(answers[i].distance == single.distance || std::isnan(single.distance), true);
      }
    }
  }
  EXPECT_EQ(kavrel_lookup_many(handle.get(), 0, nullptr, nullptr, nullptr, 4, nullptr, nullptr), KAVREL_SUCCESS);
  kavrel_answer answer;
  const kavrel_query bad = Query(5);
  struct Case {
    const kavrel_geocoder* handle;
    const double* latitudes;
    const kavrel_query* query;
    int32_t threads;
    kavrel_answer* answers;
  };
  const Case invalid[] = {
      {nullptr, latitudes.data(), nullptr, 1, &answer},
      {handle.get(), nullptr, nullptr, 1, &answer},
      {handle.get(), latitudes.data(), nullptr, 1, nullptr},
      {handle.get(), latitudes.data(), nullptr, -1, &answer},
      {handle.get(), latitudes.data(), &bad, 1, &answer},
  };
  for (const Case& c : invalid) {
    EXPECT_EQ(kavrel_lookup_many(c.handle, 1, c.latitudes, longitudes.data(), c.query, c.threads, c.answers, nullptr),
              KAVREL_INVALID_ARGUMENT);
  }
}

// However many threads are asked for, one call starts at most
// KAVREL_MAX_THREADS, and never more than its rows; INT32_MAX threads give
// the answers of one.
TEST(KavrelLookupMany, TheThreadsAreCappedAndTheAnswersKept) {
  struct Case {
    std::size_t rows;
    int32_t threads;
    std::size_t parts;
  };
  const Case cases[] = {
      {1000, 0, 1},   {1000, 1, 1},   {1000, 7, 7},   {5, 7, 5},   {0, 7, 0},
      {100000, KAVREL_MAX_THREADS + 1, KAVREL_MAX_THREADS},
      {100000, std::numeric_limits<int32_t>::max(), KAVREL_MAX_THREADS},
      {100, std::numeric_limits<int32_t>::max(), 100},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LookupParts(c.rows, c.threads), c.parts) << c.rows << " rows, " << c.threads << " threads";
  }
  const Handle handle(TokyoStationPackage());
  const std::size_t rows = 3 * KAVREL_MAX_THREADS;
  std::vector<double> latitudes(rows), longitudes(rows, 139.767125);
  for (std::size_t i = 0; i < rows; ++i) latitudes[i] = 35.6 + 0.0005 * static_cast<double>(i);
  std::vector<kavrel_answer> one(rows), most(rows);
  ASSERT_EQ(kavrel_lookup_many(handle.get(), rows, latitudes.data(), longitudes.data(), nullptr, 1, one.data(),
                               nullptr),
            KAVREL_SUCCESS);
  ASSERT_EQ(kavrel_lookup_many(handle.get(), rows, latitudes.data(), longitudes.data(), nullptr,
                               std::numeric_limits<int32_t>::max(), most.data(), nullptr),
            KAVREL_SUCCESS);
  std::size_t found = 0;
  for (std::size_t i = 0; i < rows; ++i) {
    EXPECT_EQ(one[i].area, most[i].area) << "row " << i;
    found += one[i].area != nullptr;
  }
  EXPECT_GT(found, 0u);
  EXPECT_LT(found, rows);
}

// A handle makes its bands and names as lookups first need them; preloading
// makes them ahead and changes no answer, nor does many rows' preload.
TEST(KavrelPreload, APreloadedHandleAnswersAsOneThatMakesItsPartsAsItGoes) {
  const Handle cold(RingVersusNearestPackage());
  const Handle preloaded(RingVersusNearestPackage());
  EXPECT_EQ(kavrel_preload(preloaded.get(), KAVREL_MODE_NEAREST), KAVREL_SUCCESS);
  EXPECT_EQ(kavrel_preload(preloaded.get(), KAVREL_MODE_DESIGNED), KAVREL_SUCCESS);
  for (int32_t mode : {KAVREL_MODE_DESIGNED, KAVREL_MODE_NEAREST}) {
    const kavrel_query query = Query(mode, 100, 300);
    for (const double latitude : {34.99, 35.0, 35.004, 35.01, 20.0}) {
      kavrel_answer a, b;
      EXPECT_EQ(kavrel_lookup(cold.get(), latitude, 139.0001, &query, &a),
                kavrel_lookup(preloaded.get(), latitude, 139.0001, &query, &b));
      EXPECT_EQ(a.area_key, b.area_key) << latitude;
      if (a.area != nullptr) {
        EXPECT_EQ(Joined(a), Joined(b)) << latitude;
      }
    }
  }
  const std::vector<double> latitudes(KAVREL_PRELOAD_ROWS, 35.0001), longitudes(KAVREL_PRELOAD_ROWS, 139.0001);
  std::vector<kavrel_answer> answers(latitudes.size());
  const Handle many(RingVersusNearestPackage());
  ASSERT_EQ(kavrel_lookup_many(many.get(), latitudes.size(), latitudes.data(), longitudes.data(), nullptr, 2,
                               answers.data(), nullptr),
            KAVREL_SUCCESS);
  EXPECT_EQ(answers.back().area_key, 1u);
  EXPECT_EQ(kavrel_preload(nullptr, KAVREL_MODE_DESIGNED), KAVREL_INVALID_ARGUMENT);
  EXPECT_EQ(kavrel_preload(cold.get(), 7), KAVREL_INVALID_ARGUMENT);
}

TEST(KavrelNames, FactsAndNamesInKeyOrder) {
  pack::PackageWriter writer = PointPackage({{35000000, 139000000, 2, 9, 1500}, {35000100, 139000000, 1, 9, 7}});
  writer.Add("/P/000000.gzbin", NameBlock({{2, u"二"}, {1, u"一"}, {2, u"later record, never read"}}));
  writer.Add("/C/000000.gzbin", NameBlock({{9, u"九"}}));
  // Key 1500 belongs in /S/001000.gzbin; this record cannot be reached.
  writer.Add("/S/000000.gzbin", NameBlock({{7, u"七"}, {1500, u"misplaced"}}));
  writer.Add("/S/001000.gzbin", NameBlock({{1500, u"千五百"}}));
  const Handle handle(writer);

  kavrel_facts facts;
  ASSERT_EQ(kavrel_facts_of(handle.get(), &facts), KAVREL_SUCCESS);
  EXPECT_EQ(facts.points, 2u);
  EXPECT_EQ(facts.entries, 5u);
  EXPECT_EQ(facts.prefectures, 2u);
  EXPECT_EQ(facts.cities, 1u);
  EXPECT_EQ(facts.areas, 2u);

  struct Case {
    int32_t level;
    uint64_t index;
    uint32_t key;
    const char* name;
  };
  const Case cases[] = {
      {KAVREL_LEVEL_PREFECTURE, 0, 1, "一"}, {KAVREL_LEVEL_PREFECTURE, 1, 2, "二"},
      {KAVREL_LEVEL_CITY, 0, 9, "九"},       {KAVREL_LEVEL_AREA, 0, 7, "七"},
      {KAVREL_LEVEL_AREA, 1, 1500, "千五百"},
  };
  for (const Case& c : cases) {
    uint32_t key = 0;
    const char* name = nullptr;
    ASSERT_EQ(kavrel_name_at(handle.get(), c.level, c.index, &key, &name), KAVREL_SUCCESS);
    EXPECT_EQ(key, c.key);
    EXPECT_STREQ(name, c.name);
  }
  uint32_t key = 0;
  const char* name = nullptr;
  EXPECT_EQ(kavrel_name_at(handle.get(), KAVREL_LEVEL_CITY, 1, &key, &name), KAVREL_INVALID_ARGUMENT);
  EXPECT_EQ(kavrel_name_at(handle.get(), 3, 0, &key, &name), KAVREL_INVALID_ARGUMENT);
  EXPECT_EQ(kavrel_name_at(handle.get(), 0, 0, nullptr, &name), KAVREL_INVALID_ARGUMENT);
  EXPECT_EQ(kavrel_facts_of(nullptr, &facts), KAVREL_INVALID_ARGUMENT);
}

TEST(KavrelHandles, SeveralHandlesAndTheDesignedEngineKeepTheirOwnPackages) {
  const Handle tokyo(TokyoStationPackage());
  const Handle other(RingVersusNearestPackage());
  // The designed engine opens a third package meanwhile.
  TempDir dir;
  WriteBytes(dir / "designed.bin", PointPackage({{35681236, 139767125, 3, 3, 3}}).Serialize());
  ASSERT_EQ(Initialize(LibraryText(Wide(dir / "designed.bin")).c_str()), KAVREL_OK);
  // Tokyo Station lies about 100 km away: beyond the default reach.
  const kavrel_query query = Query(KAVREL_MODE_NEAREST, 0, 0, std::numeric_limits<double>::infinity());
  kavrel_answer fromTokyo, fromOther;
  ASSERT_EQ(kavrel_lookup(tokyo.get(), 35.0, 139.0, &query, &fromTokyo), KAVREL_SUCCESS);
  ASSERT_EQ(kavrel_lookup(other.get(), 35.0, 139.0, &query, &fromOther), KAVREL_SUCCESS);
  EXPECT_EQ(fromTokyo.area_key, 1234u);
  EXPECT_EQ(fromOther.area_key, 1u);
  kavrel_char text[64];
  std::uint32_t length = 64;
  SetStep(50, 3000);
  EXPECT_EQ(ReverseGeocoding(35.681236, 139.767125, text, &length, nullptr), KAVREL_OK);
  EXPECT_EQ(Cleanup(), KAVREL_OK);
}

TEST(KavrelTexts, VersionAndEveryResultCodeHaveTheirOwnText) {
  EXPECT_STREQ(kavrel_version(), KAVREL_PROJECT_VERSION);
  std::set<std::string> texts;
  for (int32_t code : std::initializer_list<int32_t>{KAVREL_SUCCESS, KAVREL_INVALID_ARGUMENT, KAVREL_PACKAGE_NOT_FOUND, KAVREL_PACKAGE_DAMAGED,
                       KAVREL_NO_ANSWER, KAVREL_OUT_OF_MEMORY, 12345}) {
    texts.insert(kavrel_result_text(code));
  }
  EXPECT_EQ(texts.size(), 7u);
  EXPECT_STREQ(kavrel_result_text(-7), kavrel_result_text(12345));
  // One table for both interfaces: every code of either has its own text,
  // the same that kavrel_result_text gives.
  std::set<std::string> meanings;
  for (int32_t code : std::initializer_list<int32_t>{KAVREL_OK, KAVREL_E_ALREADY_OPEN, KAVREL_E_ARGUMENT, KAVREL_E_NOT_READY, KAVREL_E_NO_FILE,
                       KAVREL_E_FORMAT, KAVREL_E_NOT_FOUND, KAVREL_E_DECOMPRESSOR, KAVREL_E_INFLATE,
                       KAVREL_OUT_OF_MEMORY}) {
    ASSERT_NE(kavrel_result_meaning(code), nullptr) << code;
    EXPECT_STREQ(kavrel_result_text(code), kavrel_result_meaning(code));
    meanings.insert(kavrel_result_meaning(code));
  }
  EXPECT_EQ(meanings.size(), 10u);
  EXPECT_EQ(kavrel_result_meaning(12345), nullptr);
}

}  // namespace
}  // namespace kavrel::test
