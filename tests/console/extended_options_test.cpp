// The options beyond the designed ones, run as a process: pipes, kept
// columns, JSON lines, the search options, threads and the package facts;
// and the designed output staying as it was around them.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kavrel/platform/files.h"
#include "process_runner.h"
#include "program_folder.h"

namespace kavrel::test {
namespace {

const std::string kVersionText =
    "norvane reverse geocoder version 1.1\r\nCopyright (C) 2026 norvane\r\n\r\n";
const std::string kArgumentError = kVersionText + "引数または設定に誤りがあります\r\n\r\n";
const std::string kTokyoStation = "東京都千代田区丸の内一丁目";
const std::string kConverted = "35.681236,139.767125," + kTokyoStation + "\r\n";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class KavrelExtended : public ::testing::Test {
protected:
  static void SetUpTestSuite() { s_folder = std::make_unique<ProgramFolder>(true, true); }
  static void TearDownTestSuite() { s_folder.reset(); }

  ProcessResult Run(const std::vector<std::string>& arguments, RunOptions options = {}) {
    return RunProcess(s_folder->Program(), arguments, m_work.Path(), options);
  }
  std::string WorkPath(const std::string& name) const { return m_work / name; }

  static std::unique_ptr<ProgramFolder> s_folder;
  TempDir m_work;
};
std::unique_ptr<ProgramFolder> KavrelExtended::s_folder;

// --- Pipes ---

TEST_F(KavrelExtended, APipeInAndOutCarriesDataOnlyAndTheMessagesGoToStandardError) {
  WriteBytes(WorkPath("in.csv"), "lat,lon\r\n35.681236,139.767125\r\n");
  const std::string command = "cat in.csv | '" + s_folder->Program() + "' /in - /out - > out.csv";
  const ProcessResult result = RunProcess("/bin/sh", {"-c", command}, m_work.Path(), RunOptions{});
  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.exitStatus, 0) << result.error;
  EXPECT_EQ(ReadBytes(WorkPath("out.csv")), "lat,lon\r\n" + kConverted);
  EXPECT_TRUE(Contains(result.error, "変換処理を開始しました\r\n変換処理を終了しました\r\n成功1件/失敗1件"))
      << result.error;
}

TEST_F(KavrelExtended, StandardInputToAFileOrAFileToStandardOutput) {
  WriteBytes(WorkPath("in.csv"), "35.681236,139.767125\r\n");
  RunOptions fromStdin;
  fromStdin.standardInputFile = WorkPath("in.csv");
  const ProcessResult toFile = Run({"/in", "-", "/out", "out.csv"}, fromStdin);
  // The data goes to a file: the messages stay on standard output, as
  // designed, and standard input shows no progress (it has no size).
  ASSERT_TRUE(toFile.exited);
  EXPECT_EQ(toFile.exitStatus, 0);
  EXPECT_EQ(toFile.output.rfind("変換処理を開始しました\r\n変換処理を終了しました\r\n成功1件/失敗0件", 0), 0u)
      << toFile.output;
  EXPECT_EQ(ReadBytes(WorkPath("out.csv")), kConverted);

  const ProcessResult toStdout = Run({"/in", "in.csv", "/out", "-"});
  EXPECT_EQ(toStdout.output, kConverted);
  EXPECT_TRUE(Contains(toStdout.error, "0%完了しました(1/0)")) << toStdout.error;
  // A full device fails the data, and says so on standard error.
  if (platform::FileExists("/dev/full")) {
    RunOptions full;
    full.standardOutputFile = "/dev/full";
    const ProcessResult failed = Run({"/in", "in.csv", "/out", "-"}, full);
    EXPECT_EQ(failed.exitStatus, 1);
    EXPECT_TRUE(Contains(failed.error, "出力ファイルに書き込めません")) << failed.error;
    EXPECT_TRUE(Contains(failed.error, "No space left on device")) << failed.error;
  }
}

// --- Conventions ---

TEST_F(KavrelExtended, WholeWordHelpAndVersionAreTheDesignedOnes) {
  EXPECT_EQ(Run({"--version"}).output, Run({"/version"}).output);
  const ProcessResult help = Run({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_EQ(help.output, Run({"/help"}).output);
  for (const char* argument : {"-h", "--helpme", "-?"}) {
    const ProcessResult result = Run({argument});
    ExpectRun(result, 2, kArgumentError);
    EXPECT_TRUE(Contains(result.error, std::string("unknown option \"/") + (argument + 1) + "\""))
        << result.error;
  }
}

TEST_F(KavrelExtended, AnArgumentErrorNamesTheArgument) {
  struct Case {
    std::vector<std::string> arguments;
    std::vector<std::string> told;
  };
  const Case cases[] = {
      {{"/in", "a.csv"}, {"/in is given without /out"}},
      {{"/lon", "139.7"}, {"/lon is given without /lat"}},
      {{"/IN", "a.csv", "/out", "b.csv"}, {"/out is given without /in", "unknown option \"/IN\""}},
      {{"/lat", "-35.5", "/lon", "139.7"},
       {"/lon is given without /lat", "unknown option \"/35.5\" (a value that starts with \"-\"",
        "no value after \"/lat\""}},
      {{"a.csv", "b.csv"}, {"give /lat and /lon", "no option takes the value \"a.csv\""}},
      {{"/lat", "35.681236", "/lon", "139.767125", "/threads", "many"},
       {"unusable value: \"/threads many\""}},
      {{"/lat", "35.681236", "/lon", "139.767125", "/maxdist", "far"},
       {"unusable value: \"/maxdist far\""}},
  };
  for (const Case& c : cases) {
    const ProcessResult result = Run(c.arguments);
    ExpectRun(result, 2, kArgumentError);
    EXPECT_EQ(result.error.find('\n'), result.error.size() - 1) << result.error;  // one line
    for (const std::string& part : c.told) {
      EXPECT_TRUE(Contains(result.error, part)) << c.arguments[0] << ": " << result.error;
    }
  }
  // A run that works says what it ignored, and works as before.
  const ProcessResult ignored = Run({"/lat", "35.681236", "/lon", "139.767125", "/colour", "red"});
  ExpectRun(ignored, 0, kTokyoStation);
  EXPECT_TRUE(Contains(ignored.error, "warning: ignored: unknown option \"/colour\"")) << ignored.error;
}

}  // namespace
}  // namespace kavrel::test
