// The batch conversion against a stand-in lookup backend; the real library
// behind both backends is exercised by the end-to-end tests.
#include "batch.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
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
  std::int32_t refusal = kBatchCompleted;
  SearchSettings sent;
  bool wholePackageSent = false;
  int prepares = 0;
  int lookupCalls = 0;
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

// Blocks of several lines: each pair gets its own answer back, whatever
// lines without a pair stand between them, and the block's end is no line's.
TEST_F(BatchTest, BlocksOfLinesKeepEachAnswerWithItsLine) {
  m_backend.blockSize = 3;
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

}  // namespace
}  // namespace kavrel::console
