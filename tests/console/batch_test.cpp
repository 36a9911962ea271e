// The batch conversion against a stand-in lookup backend; the real library
// behind both backends is exercised by the end-to-end tests.
#include "batch.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>

#include "designed_backend.h"
#include "kavrel/platform/files.h"
#include "test_support.h"

namespace kavrel::console {
namespace {

// A backend that finds an address north of 30 degrees only: the engine's
// joined text for the designed records, and names 500 m away for the
// formats. It keeps what it was sent.
class FakeBackend : public LookupBackend {
public:
  bool Start(const std::u16string&, std::string&) override { return true; }
  std::string PackagePath() const override { return {}; }
  std::int32_t Prepare(const SearchSettings& settings, bool wholePackage, std::string& why) override {
    sent = settings;
    wholePackageSent = wholePackage;
    ++prepares;
    if (refusal != kBatchCompleted) why = "refused";
    return refusal;
  }
  std::size_t BlockSize() const override { return blockSize; }
  std::int32_t Threads() const override { return threads; }
  void Lookup(const double* latitudes, const double*, std::size_t count, PointAnswer* answers) override {
    lookupCalls += count > 0;
    for (std::size_t i = 0; i < count; ++i) {
      const bool found = latitudes[i] >= 30.0;
      answers[i].result = found ? 0 : KAVREL_E_NOT_FOUND;
      answers[i].address = found ? u"東京都" + sent.separator + u"千代田区" : u"";
      answers[i].names = found ? LineAnswer{true, "東京都", "千代田区", "丸の内", 500.0} : LineAnswer{};
    }
  }
  std::string Meaning(std::int32_t result) const override { return std::to_string(result); }

  std::size_t blockSize = 1;
  std::int32_t threads = 1;
  std::int32_t refusal = kBatchCompleted;
  SearchSettings sent;
  bool wholePackageSent = false;
  int prepares = 0;
  std::atomic<int> lookupCalls{0};  // Lookup runs on the conversion's threads
};

class BatchTest : public ::testing::Test {
protected:
  void SetUp() override {
    m_progressFd = ::open(m_progressPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(m_progressFd, 0);
    m_job.inputPath = u"in.csv";
    m_job.outputPath = u"out.csv";
    m_job.outputHandle = m_progressFd;
  }
  void TearDown() override { ::close(m_progressFd); }

  // Runs a conversion of `input`, with the paths relative to the folder.
  std::int32_t Convert(const std::string& input) {
    test::WriteBytes(Path(m_job.inputPath), input);
    return ConvertWithPaths();
  }
  std::int32_t ConvertWithPaths() {
    m_job.inputPath = Absolute(m_job.inputPath);
    m_job.outputPath = Absolute(m_job.outputPath);
    return ConvertCsvFile(m_backend, m_settings, m_options, m_job);
  }
  std::u16string Absolute(const std::u16string& path) const {
    if (!path.empty() && path.front() == u'/') return path;
    const std::string base = m_dir.Path() + "/";
    return std::u16string(base.begin(), base.end()) + path;
  }
  std::string Path(const std::u16string& path) const {
    const std::u16string full = Absolute(path);
    return std::string(full.begin(), full.end());
  }
  std::string Output() const { return test::ReadBytes(Path(m_job.outputPath)); }
  std::string Progress() const { return test::ReadBytes(m_progressPath); }
  // Empties the progress file for another conversion.
  void ClearProgress() {
    ASSERT_EQ(::ftruncate(m_progressFd, 0), 0);
    ASSERT_EQ(::lseek(m_progressFd, 0, SEEK_SET), 0);
  }

  test::TempDir m_dir;
  std::string m_progressPath = m_dir / "progress.txt";
  int m_progressFd = -1;
  FakeBackend m_backend;
  SearchSettings m_settings;
  ExtendedOptions m_options;
  BatchJob m_job;
};

// Mixed lines are compared byte for byte in the runs of the program; here,
// what the backend is sent and what is counted.
TEST_F(BatchTest, SetsUpTheEngineThenConvertsPairsAndCopiesOtherLines) {
  m_settings.separator = u"/";
  ASSERT_EQ(Convert("lat,lon\r\n139.767125 35.681236\r\n29.5,130.5\n35,139"), kBatchCompleted);
  EXPECT_EQ(Output(),
            "lat,lon\r\n"
            "35.681236,139.767125,東京都/千代田区\r\n"
            "29.500000,130.500000,\r\n"  // the stand-in finds nothing south of 30
            "35,139");
  EXPECT_EQ(m_job.succeeded, 1);
  EXPECT_EQ(m_job.failed, 3);
  EXPECT_EQ(m_backend.sent.step, 50);
  EXPECT_EQ(m_backend.sent.width, 3000);
  EXPECT_EQ(m_backend.sent.separator, u"/");
  EXPECT_EQ(m_backend.prepares, 1);
  EXPECT_TRUE(m_backend.wholePackageSent);
  EXPECT_GE(m_job.endTime, m_job.startTime);
  EXPECT_GT(m_job.startTime, 0);
}

// Each line read gives one line written: a NUL cuts the copy, not the line end.
TEST_F(BatchTest, ALineIsCopiedUpToItsFirstNulThenItsOwnLineEnd) {
  const std::string input("abc\0def\r\n"  // CR LF kept
                          "\0\0\r\n"       // a NUL first: the line end alone
                          "g\0\n"          // LF kept
                          "x\0\r\r\n"      // the line end is the last CR LF only
                          "xyz\r\n"
                          "\0",             // a last line without a line end
                          27);
  ASSERT_EQ(Convert(input), kBatchCompleted);
  EXPECT_EQ(Output(), "abc\r\n\r\ng\nx\r\nxyz\r\n");
  EXPECT_EQ(m_job.failed, 6);
  EXPECT_EQ(m_job.succeeded, 0);
}

TEST_F(BatchTest, APreparationRefusedStopsBeforeAnyFileIsMade) {
  test::WriteBytes(Path(u"in.csv"), "35.5,139.5\r\n");
  for (const std::int32_t refusal : {kBatchStepRefused, kBatchSeparatorRefused, kBatchPreloadRefused}) {
    m_backend.refusal = refusal;
    m_job.succeeded = m_job.failed = 99;
    EXPECT_EQ(ConvertWithPaths(), refusal);
    EXPECT_EQ(m_job.failure, "refused") << refusal;
    EXPECT_EQ(m_job.succeeded, 0) << refusal;
    EXPECT_EQ(m_job.failed, 0) << refusal;
    EXPECT_FALSE(platform::FileExists(Path(m_job.outputPath))) << refusal;
  }
  EXPECT_EQ(m_backend.lookupCalls, 0);
}

// Lookups of several points: each pair gets its own answer back, whatever
// lines without a pair stand between them, and a lookup's end is no line's.
TEST_F(BatchTest, BlocksOfLinesKeepEachAnswerWithItsLine) {
  m_backend.blockSize = 2;
  m_options.used = true;
  m_options.format = OutputFormat::kKeep;
  m_options.distance = true;
  ASSERT_EQ(Convert("id,lat,lon\r\n1,35.5,139.5\r\nx\r\n2,29.5,130.5\r\n3,36.0,140.0\r\n"), kBatchCompleted);
  EXPECT_EQ(Output(),
            "id,lat,lon,prefecture,city,area,distance_m\r\n"
            "1,35.5,139.5,東京都,千代田区,丸の内,500.0\r\n"
            "x,,,,\r\n"
            "2,29.5,130.5,,,,\r\n"
            "3,36.0,140.0,東京都,千代田区,丸の内,500.0\r\n");
  EXPECT_EQ(m_job.succeeded, 2);
  EXPECT_EQ(m_job.failed, 3);
  EXPECT_EQ(m_backend.lookupCalls, 2);
}

// The designed records of a designed run do not depend on the backend's
// block size.
TEST_F(BatchTest, DesignedRecordsAreTheSameInBlocks) {
  const std::string input = "lat,lon\r\n35.5,139.5\r\n29.5,130.5\r\nno pair\r\n36,140.1\n";
  ASSERT_EQ(Convert(input), kBatchCompleted);
  const std::string lineByLine = Output();
  m_backend.blockSize = 4;
  ASSERT_EQ(Convert(input), kBatchCompleted);
  EXPECT_EQ(Output(), lineByLine);
  EXPECT_EQ(lineByLine, "lat,lon\r\n35.500000,139.500000,東京都千代田区\r\n29.500000,130.500000,\r\nno pair\r\n"
                        "36,140.1\n");
}

// The designed backend over a library that is not loaded: every entry is
// missing, and it says so rather than calling anything.
TEST(DesignedBackend, RefusesWithoutItsEntries) {
  CEngineBinding engine;
  DesignedBackend backend(engine);
  std::string why;
  SearchSettings settings;
  EXPECT_EQ(backend.Prepare(settings, true, why), kBatchStepRefused);
  EXPECT_EQ(why, "the engine library has no function SetStep");
  settings.width = 0;
  EXPECT_EQ(backend.Prepare(settings, false, why), kBatchStepRefused);
  EXPECT_EQ(why, "the step and the width must be greater than 0");
  const double latitude = 35.5;
  const double longitude = 139.5;
  PointAnswer answer;
  answer.address = u"left over";
  backend.Lookup(&latitude, &longitude, 1, &answer);
  EXPECT_EQ(answer.result, kEntryMissing);
  EXPECT_EQ(answer.address, u"");
  EXPECT_FALSE(answer.Found());
}

TEST_F(BatchTest, AJumpOverSeveralTenthsIsCaughtUpOneMarkPerLine) {
  // The first line passes four marks at once (28 of 64 bytes); the marks
  // come one per later pass, the final empty read being a pass of its own.
  const std::string input = std::string(27, 'x') + "\n" + "35.5,139.5\r\n" + "lat,lon,ab\r\n" +
                            "29.5,130.5\r\n";
  ASSERT_EQ(input.size(), 64u);
  ASSERT_EQ(Convert(input), kBatchCompleted);
  EXPECT_EQ(Progress(),
            "0%完了しました(0/1)\r\n10%完了しました(1/1)\r\n20%完了しました(1/2)\r\n"
            "30%完了しました(1/3)\r\n40%完了しました(1/3)\r\n");
}

TEST_F(BatchTest, NoProgressWhenTheInputSizeIsUnknown) {
  // A pipe has no size: the percentage would have no meaning.
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_EQ(::write(fds[1], "35.5,139.5\r\n", 12), 12);
  ::close(fds[1]);
  const std::string path = "/dev/fd/" + std::to_string(fds[0]);
  m_job.inputPath = std::u16string(path.begin(), path.end());
  EXPECT_EQ(ConvertWithPaths(), kBatchCompleted);
  ::close(fds[0]);
  EXPECT_EQ(Output(), "35.500000,139.500000,東京都千代田区\r\n");
  EXPECT_EQ(Progress(), "");
}

// Lines of every kind in a file of many blocks: answered pairs and pairs the
// stand-in does not find, lines without a pair, NULs, blank lines, lone
// carriage returns, LF and CR LF, lines longer than a block, and a last line
// without a line end. `answered` receives how many lines have an answer.
std::string MixedInput(std::size_t lines, std::size_t& answered) {
  std::string input = "lat,lon,name\r\n";
  std::uint32_t state = 12345;
  answered = 0;
  for (std::size_t i = 0; i < lines; ++i) {
    state = state * 1103515245u + 12345u;
    const std::uint32_t pick = (state >> 16) % 100;
    const std::string latitude = std::to_string(26 + (state >> 8) % 18) + "." + std::to_string(state % 999983);
    const std::string longitude = std::to_string(128 + (state >> 4) % 17) + ".25";
    const char* end = pick % 2 == 0 ? "\r\n" : "\n";
    if (i % 5000 == 2500) {
      input += std::string(300000 + i % 1000, 'x') + "," + latitude + "," + longitude + end;
      answered += latitude >= "30";
    } else if (pick < 70) {
      input += latitude + "," + longitude + ",town " + std::to_string(i) + end;
      answered += latitude >= "30";
    } else if (pick < 78) {
      input += "no pair here " + std::to_string(i) + end;
    } else if (pick < 84) {
      input += std::string("35.5,\0" "139.5 nul\0", 16) + end;  // "35.5," NUL "139.5 nul" NUL
    } else if (pick < 88) {
      input += end;
    } else if (pick < 92) {
      input += latitude + "\r" + longitude + end;  // the lone CR cuts the longitude off
    } else {
      input += "\"a, \"\"quoted\"\" name\"," + latitude + "," + longitude + end;
      answered += latitude >= "30";
    }
  }
  ++answered;
  return input + "36.5,140.5";  // answered, without a line end
}

// The conversion with /threads: for each format, the same bytes, counts
// and progress lines as on one thread, over blocks that end inside lines.
TEST_F(BatchTest, ThreadsGiveTheBytesCountsAndProgressOfOneThread) {
  std::size_t answered = 0;
  const std::string input = MixedInput(40000, answered);
  ASSERT_GT(input.size(), 3u << 20);  // a dozen blocks
  test::WriteBytes(Path(m_job.inputPath), input);
  m_backend.blockSize = 1000;
  struct Case {
    const char* what;
    bool used;
    OutputFormat format;
    const char* columns;
    bool gzip;
  };
  const Case cases[] = {
      {"designed records", false, OutputFormat::kDesigned, "", false},
      {"designed lines", true, OutputFormat::kDesigned, "", false},
      {"/keep /dist", true, OutputFormat::kKeep, "", false},
      {"/json /gzip", true, OutputFormat::kJson, "", true},
      {"/cols /keep", true, OutputFormat::kKeep, "lat,lon", false},
  };
  for (const Case& c : cases) {
    m_options.used = c.used;
    m_options.format = c.format;
    m_options.distance = c.format == OutputFormat::kKeep;
    m_options.gzipOutput = c.gzip;
    m_options.columns = {};
    if (*c.columns != '\0') {
      ASSERT_TRUE(ParseColumnChoice(c.columns, m_options.columns));
    }
    std::string expected;
    std::string expectedProgress;
    BatchJob expectedJob;
    for (const std::int32_t threads : {1, 2, 3, 7}) {
      m_backend.threads = threads;
      ClearProgress();
      ASSERT_EQ(ConvertWithPaths(), kBatchCompleted) << c.what << ", " << threads << " threads";
      const std::string what = std::string(c.what) + ", " + std::to_string(threads) + " threads";
      if (threads == 1) {
        expected = Output();
        expectedProgress = Progress();
        expectedJob = m_job;
        // A pair in a line of /cols must be in its own two fields.
        if (*c.columns == '\0') {
          EXPECT_EQ(static_cast<std::size_t>(m_job.succeeded), answered) << what;
        }
        EXPECT_EQ(std::count(expectedProgress.begin(), expectedProgress.end(), '%'), 10) << what;
        continue;
      }
      EXPECT_TRUE(Output() == expected) << what;
      EXPECT_EQ(Progress(), expectedProgress) << what;
      EXPECT_EQ(m_job.succeeded, expectedJob.succeeded) << what;
      EXPECT_EQ(m_job.failed, expectedJob.failed) << what;
      EXPECT_EQ(m_job.failedWithoutContent, expectedJob.failedWithoutContent) << what;
      EXPECT_EQ(m_job.linesCutAtLoneCr, expectedJob.linesCutAtLoneCr) << what;
    }
  }
}

// Where the input ends and how its lines end, on one thread and on several:
// every line read gives its line, the last one too, and an empty input
// gives an empty output.
TEST_F(BatchTest, InputEndsAndLineEndsAreKeptOnAnyThreads) {
  struct Case {
    const char* what;
    std::string input;
    std::string output;
    std::int32_t succeeded;
    std::int32_t failed;
  };
  const Case cases[] = {
      {"empty", "", "", 0, 0},
      {"one line end", "\n", "\n", 0, 1},
      {"CR LF and LF", "35.5,139.5\r\n29.5,130.5\nx\r\n", "35.500000,139.500000,東京都千代田区\r\n"
                                                           "29.500000,130.500000,\r\nx\r\n", 1, 2},
      {"a last line without a line end", "x\n35.5,139.5", "x\n35.500000,139.500000,東京都千代田区\r\n", 1, 1},
      {"a last line of text", "35.5,139.5\nlast", "35.500000,139.500000,東京都千代田区\r\nlast", 1, 1},
  };
  for (const Case& c : cases) {
    for (const std::int32_t threads : {1, 2}) {
      m_backend.threads = threads;
      m_job.inputPath = u"in.csv";
      m_job.outputPath = u"out.csv";
      ASSERT_EQ(Convert(c.input), kBatchCompleted) << c.what;
      EXPECT_EQ(Output(), c.output) << c.what << ", " << threads << " threads";
      EXPECT_EQ(m_job.succeeded, c.succeeded) << c.what << ", " << threads << " threads";
      EXPECT_EQ(m_job.failed, c.failed) << c.what << ", " << threads << " threads";
    }
  }
}

}  // namespace
}  // namespace kavrel::console
