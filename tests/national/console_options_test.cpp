// The new options of kavrel on the national package: threads that do not
// change a byte, the nearest mode as the library answers it, and a distance
// limit that refuses a point out at sea.
#include <gtest/gtest.h>

#include <charconv>
#include <sstream>
#include <string>
#include <vector>

#include "kavrel.h"
#include "process_runner.h"
#include "test_support.h"
#include "town_sample.h"

namespace kavrel::test {
namespace {

#ifdef KAVREL_SANITIZED_BUILD
constexpr std::size_t kThreadLines = 20000;  // the sanitizers slow every lookup down
#else
constexpr std::size_t kThreadLines = 200000;
#endif
constexpr std::size_t kNearestLines = 5000;
#ifdef KAVREL_SANITIZED_BUILD
constexpr std::size_t kMixedLines = 50000;
#else
constexpr std::size_t kMixedLines = 1000000;
#endif

class NationalOptions : public ::testing::Test {
protected:
  void SetUp() override { KAVREL_REQUIRE_NATIONAL_PACKAGE(); }

  // Runs kavrel in the work folder with the national package named by /data.
  ProcessResult Run(std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), {"/data", NationalPackagePath()});
    return RunProcess(KAVREL_PROGRAM_PATH, arguments, m_work.Path(), RunOptions{});
  }
  std::string WorkPath(const std::string& name) const { return m_work / name; }

  TempDir m_work;
};

TEST_F(NationalOptions, ThreadsGiveTheSameBytesAsOneThreadAndAsTheDesignedRun) {
  WriteTownSampleInput(TownsCsvPath(), WorkPath("in.csv"), kThreadLines, 20261208);
  // The designed run, without any new option: the engine finds the package
  // in the working folder.
  const ProcessResult designed = RunProcess(KAVREL_PROGRAM_PATH,
                                            {"/in", WorkPath("in.csv"), "/out", WorkPath("designed.csv")},
                                            OutputDir(), RunOptions{});
  ASSERT_EQ(designed.exitStatus, 0) << designed.error;
  const std::string expected = ReadBytes(WorkPath("designed.csv"));
  for (const char* threads : {"1", "2", "0"}) {
    const std::string output = WorkPath(std::string("threads-") + threads + ".csv");
    const ProcessResult result = Run({"/in", "in.csv", "/out", output, "/threads", threads});
    ASSERT_EQ(result.exitStatus, 0) << threads << ": " << result.error;
    EXPECT_TRUE(ReadBytes(output) == expected) << "/threads " << threads << " differs";
    // The statistics line counts the same lines.
    const std::string counts = designed.output.substr(designed.output.rfind("成功"));
    EXPECT_EQ(result.output.substr(result.output.rfind("成功"), counts.find("件/所要")),
              counts.substr(0, counts.find("件/所要")));
  }
}

// `townLines` (lines near real towns, CR LF) turned into a mix: most stay
// as they are, some lose their CR, and others become lines without a pair,
// lines cut by a NUL, blank lines, pairs out at sea that get no answer,
// lines far longer than a block, and a last line without a line end.
std::string MixedLines(const std::string& townLines) {
  std::istringstream in(townLines);
  std::string mixed;
  std::string line;
  for (std::size_t i = 0; std::getline(in, line); ++i) {
    line.pop_back();  // the CR
    if (i % 200000 == 100000) {
      mixed += std::string(700000, 'x') + "," + line + "\r\n";
    } else if (i % 11 == 3) {
      mixed += "no pair in line " + std::to_string(i) + "\r\n";
    } else if (i % 13 == 5) {
      mixed += line.substr(0, 8) + std::string(1, '\0') + line.substr(8) + "\n";
    } else if (i % 17 == 7) {
      mixed += "\r\n";
    } else if (i % 19 == 9) {
      mixed += "25.000000,125.000000,at sea\r\n";
    } else if (i % 5 == 1) {
      mixed += line + "\n";
    } else {
      mixed += line + "\r\n";
    }
  }
  return mixed + "35.681236,139.767125";
}

// The designed run and /threads 2 and 0 over a million mixed lines, in
// blocks that end inside lines: the same bytes and the same counts.
TEST_F(NationalOptions, ThreadsOnMixedLinesGiveTheDesignedBytes) {
  WriteTownSampleInput(TownsCsvPath(), WorkPath("towns.csv"), kMixedLines, 20261209);
  WriteBytes(WorkPath("in.csv"), MixedLines(ReadBytes(WorkPath("towns.csv"))));
  const ProcessResult designed = RunProcess(KAVREL_PROGRAM_PATH,
                                            {"/in", WorkPath("in.csv"), "/out", WorkPath("designed.csv")},
                                            OutputDir(), RunOptions{});
  ASSERT_EQ(designed.exitStatus, 0) << designed.error;
  const std::string expected = ReadBytes(WorkPath("designed.csv"));
  const std::string counts = designed.output.substr(designed.output.rfind("成功"));
  const std::string countsOnly = counts.substr(0, counts.find("件/所要"));
  // Most lines are answered, and the lines of every other kind are counted too.
  const long succeeded = std::stol(countsOnly.substr(std::string("成功").size()));
  EXPECT_GT(succeeded, static_cast<long>(kMixedLines) / 2) << countsOnly;
  EXPECT_LT(succeeded, static_cast<long>(kMixedLines) * 3 / 4) << countsOnly;
  for (const char* threads : {"2", "0"}) {
    const std::string output = WorkPath(std::string("threads-") + threads + ".csv");
    const ProcessResult result = Run({"/in", "in.csv", "/out", output, "/threads", threads});
    ASSERT_EQ(result.exitStatus, 0) << threads << ": " << result.error;
    EXPECT_TRUE(ReadBytes(output) == expected) << "/threads " << threads << " differs";
    const std::string threadCounts = result.output.substr(result.output.rfind("成功"));
    EXPECT_EQ(threadCounts.substr(0, threadCounts.find("件/所要")), countsOnly) << threads;
    EXPECT_EQ(result.error, designed.error) << threads;
  }
}

// Each kept line ends with prefecture,city,area,distance_m: the library's
// nearest mode must give the same names and the same distance.
TEST_F(NationalOptions, NearestAgreesWithTheLibrarysNearestMode) {
  WriteTownSampleInput(TownsCsvPath(), WorkPath("in.csv"), kNearestLines, 7);
  const ProcessResult result =
      Run({"/in", "in.csv", "/out", "out.csv", "/nearest", "/keep", "/dist", "/threads", "2"});
  ASSERT_EQ(result.exitStatus, 0) << result.error;

  kavrel_geocoder* geocoder = nullptr;
  ASSERT_EQ(kavrel_open(NationalPackagePath().c_str(), &geocoder), KAVREL_SUCCESS);
  kavrel_query query{};
  query.mode = KAVREL_MODE_NEAREST;
  std::istringstream lines(ReadBytes(WorkPath("out.csv")));
  std::string line;
  std::size_t count = 0;
  while (std::getline(lines, line)) {
    ++count;
    const double latitude = std::stod(line);
    const double longitude = std::stod(line.substr(line.find(',') + 1));
    kavrel_answer answer{};
    ASSERT_EQ(kavrel_lookup(geocoder, latitude, longitude, &query, &answer), KAVREL_SUCCESS) << line;
    char distance[64];
    const auto end = std::to_chars(distance, distance + sizeof distance, answer.distance,
                                   std::chars_format::fixed, 1).ptr;
    const std::string expected = std::string(",") + answer.prefecture + "," + answer.city + "," +
                                 answer.area + "," + std::string(distance, end) + "\r";
    ASSERT_EQ(line.substr(line.size() - std::min(line.size(), expected.size())), expected) << line;
  }
  kavrel_close(geocoder);
  EXPECT_EQ(count, kNearestLines);
}

TEST_F(NationalOptions, MaxDistanceTurnsAPointAtSeaIntoNoAnswer) {
  // 12.4 km east of Choshi, in the Pacific: the ring search reaches the coast.
  const std::vector<std::string> sea = {"/lat", "35.70", "/lon", "141.00", "/dist"};
  const ProcessResult found = Run(sea);
  ASSERT_EQ(found.exitStatus, 0) << found.error;
  const double metres = std::stod(found.output.substr(found.output.rfind(',') + 1));
  EXPECT_GT(metres, 12000.0) << found.output;
  EXPECT_LT(metres, 13000.0) << found.output;

  std::vector<std::string> limited = sea;
  limited.insert(limited.end(), {"/maxdist", "1000"});
  const ProcessResult refused = Run(limited);
  EXPECT_EQ(refused.exitStatus, 1);
  EXPECT_EQ(refused.output, "");

  // In a conversion the line is written without an address and counted as failed.
  WriteBytes(WorkPath("in.csv"), "35.700000,141.000000\r\n35.681236,139.767125\r\n");
  const ProcessResult batch = Run({"/in", "in.csv", "/out", "out.csv", "/maxdist", "1000"});
  ASSERT_EQ(batch.exitStatus, 0) << batch.error;
  EXPECT_EQ(ReadBytes(WorkPath("out.csv")),
            "35.700000,141.000000,\r\n35.681236,139.767125,東京都千代田区丸の内一丁目\r\n");
  EXPECT_NE(batch.output.find("成功1件/失敗1件"), std::string::npos) << batch.output;
}

TEST_F(NationalOptions, NearestReachesTheDefaultDistanceUnlessMaxdistSaysOtherwise) {
  // Seoul and a point in Africa: their nearest address points lie hundreds
  // and thousands of kilometres away.
  for (const std::vector<std::string>& point : {std::vector<std::string>{"/lat", "37.5665", "/lon", "126.9780"},
                                               std::vector<std::string>{"/lat", "10", "/lon", "10"}}) {
    std::vector<std::string> nearest = point;
    nearest.insert(nearest.end(), {"/nearest", "/dist"});
    const ProcessResult refused = Run(nearest);
    EXPECT_EQ(refused.exitStatus, 1) << point[1];
    EXPECT_EQ(refused.output, "") << point[1];

    nearest.insert(nearest.end(), {"/maxdist", "inf"});
    const ProcessResult found = Run(nearest);
    ASSERT_EQ(found.exitStatus, 0) << point[1] << ": " << found.error;
    EXPECT_GT(std::stod(found.output.substr(found.output.rfind(',') + 1)), KAVREL_DEFAULT_REACH) << found.output;
  }
  // Within the reach (Tokyo Bay, a few kilometres off the shore) nearest mode answers.
  const ProcessResult bay = Run({"/lat", "35.5", "/lon", "139.85", "/nearest"});
  EXPECT_EQ(bay.exitStatus, 0) << bay.error;
}

}  // namespace
}  // namespace kavrel::test
