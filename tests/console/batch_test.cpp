// The batch conversion against a stand-in engine, whose entries the tests
// bind directly; the real library is exercised by the end-to-end tests.
#include "batch.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "kavrel/platform/files.h"
#include "test_support.h"

namespace kavrel::console {
namespace {

// What the stand-in engine was sent and how it answers. The entries are
// plain function pointers, so the stand-in keeps its state here.
struct FakeEngineState {
  std::int32_t step = 0;
  std::int32_t width = 0;
  std::u16string separator;
  int preloads = 0;
  std::int32_t separatorResult = 0;
  std::int32_t preloadResult = 0;
};
FakeEngineState g_fake;

std::int32_t FakeSetStep(std::int32_t step, std::int32_t width) {
  g_fake.step = step;
  g_fake.width = width;
  return 0;
}
std::int32_t FakeSetSeparator(const kavrel_char* separator) {
  g_fake.separator = separator;
  return g_fake.separatorResult;
}
std::int32_t FakePreloadData() {
  ++g_fake.preloads;
  return g_fake.preloadResult;
}
std::int32_t FakeIsJapanRegion(double latitude, double longitude) {
  return latitude >= 24.0 && latitude < 46.0 && longitude >= 122.0 && longitude < 149.0;
}
// Finds an address north of 30 degrees only.
std::int32_t FakeReverseGeocoding(double latitude, double, kavrel_char* buffer, std::uint32_t* length,
                                  std::int32_t*) {
  if (latitude < 30.0) return KAVREL_E_NOT_FOUND;
  const std::u16string text = u"東京都" + g_fake.separator + u"千代田区";
  if (*length <= text.size()) return KAVREL_E_FORMAT;
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = 0;
  return 0;
}

class BatchTest : public ::testing::Test {
protected:
  void SetUp() override {
    g_fake = FakeEngineState{};
    m_engine.m_pSetStep = FakeSetStep;
    m_engine.m_pSetSeparator = FakeSetSeparator;
    m_engine.m_pPreloadData = FakePreloadData;
    m_engine.m_pIsJapanRegion = FakeIsJapanRegion;
    m_engine.m_pReverseGeocoding = FakeReverseGeocoding;
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
    return ConvertCsvFile(m_engine, m_settings, m_job);
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
  CEngineBinding m_engine;
  SearchSettings m_settings;
  BatchJob m_job;
};

// Mixed lines are compared byte for byte in the runs of the program; here,
// what the engine is sent and what is counted.
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
  EXPECT_EQ(g_fake.step, 50);
  EXPECT_EQ(g_fake.width, 3000);
  EXPECT_EQ(g_fake.separator, u"/");
  EXPECT_EQ(g_fake.preloads, 1);
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

TEST_F(BatchTest, SetUpFailuresStopBeforeAnyFileIsMade) {
  struct Case {
    const char* name;
    bool bindSetStep;
    std::int32_t step;
    std::int32_t width;
    bool bindSetSeparator;
    std::int32_t separatorResult;
    bool bindPreload;
    std::int32_t preloadResult;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"no SetStep", false, 50, 3000, true, 0, true, 0, kBatchStepRefused},
      {"step 0", true, 0, 3000, true, 0, true, 0, kBatchStepRefused},
      {"width -1", true, 50, -1, true, 0, true, 0, kBatchStepRefused},
      {"no SetSeparator", true, 50, 3000, false, 0, true, 0, kBatchSeparatorRefused},
      {"separator refused", true, 50, 3000, true, -1, true, 0, kBatchSeparatorRefused},
      {"no PreloadData", true, 50, 3000, true, 0, false, 0, kBatchPreloadRefused},
      {"preload refused", true, 50, 3000, true, 0, true, -1002, kBatchPreloadRefused},
  };
  test::WriteBytes(Path(u"in.csv"), "35.5,139.5\r\n");
  for (const Case& c : cases) {
    g_fake = FakeEngineState{};
    g_fake.separatorResult = c.separatorResult;
    g_fake.preloadResult = c.preloadResult;
    m_engine.m_pSetStep = c.bindSetStep ? FakeSetStep : nullptr;
    m_engine.m_pSetSeparator = c.bindSetSeparator ? FakeSetSeparator : nullptr;
    m_engine.m_pPreloadData = c.bindPreload ? FakePreloadData : nullptr;
    m_settings.step = c.step;
    m_settings.width = c.width;
    m_job.succeeded = m_job.failed = 99;
    EXPECT_EQ(ConvertWithPaths(), c.expected) << c.name;
    EXPECT_EQ(m_job.succeeded, 0) << c.name;
    EXPECT_EQ(m_job.failed, 0) << c.name;
    EXPECT_FALSE(platform::FileExists(Path(m_job.outputPath))) << c.name;
  }
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
