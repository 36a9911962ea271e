// The built program run as a process from a folder that holds a copy of it,
// the real engine library and a small package, so that the engine finds the
// package by its search in the program's folder. Each run works in another
// folder, where the batch files lie. Console text is UTF-8 (C locale).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "kavrel/platform/files.h"
#include "process_runner.h"
#include "program_folder.h"

namespace kavrel::test {
namespace {

const std::string kEngineFailed = "エンジンの初期化に失敗しました";
const std::string kFinished = "変換処理を終了しました\r\n";

class KavrelProgram : public ProgramFolderTest {};

// The console output of a completed batch: the start line, the progress
// lines, the end line and the statistics line. The seconds are read from the
// output itself (a run may cross a second boundary) and must be few.
void ExpectCompletedBatch(const ProcessResult& result, const std::string& progress, int succeeded,
                          int failed) {
  const std::string marker = "所要時間";
  const std::size_t at = result.output.find(marker);
  ASSERT_NE(at, std::string::npos) << result.output;
  const int seconds = std::stoi(result.output.substr(at + marker.size()));
  ASSERT_GE(seconds, 0);
  ASSERT_LE(seconds, 5);
  char rate[32];
  std::snprintf(rate, sizeof rate, "%.2f",
                seconds == 0 ? 0.0 : static_cast<double>(succeeded + failed) / seconds);
  const std::string statistics = "成功" + std::to_string(succeeded) + "件/失敗" +
                                 std::to_string(failed) + "件/所要時間" + std::to_string(seconds) +
                                 "秒/1秒あたり" + rate + "件";
  ExpectRun(result, 0, kStarted + progress + kFinished + statistics);
}

TEST_F(KavrelProgram, NoOrIncompleteRequestsAreArgumentErrors) {
  const std::vector<std::string> requests[] = {
      {}, {"/in", "a.csv"}, {"/out", "b.csv"}, {"/lat", "35.681236"},
      {"/lon", "139.767125", "/in", "a.csv"}, {"/test"},
  };
  for (const auto& request : requests) ExpectRun(Run(request), 2, kArgumentError);
}

TEST_F(KavrelProgram, VersionPrintsTheVersionText) { ExpectRun(Run({"/version"}), 0, kVersionText); }

TEST_F(KavrelProgram, HelpPrintsTheUsageWithTheProgramsFileName) {
  const std::string usage =
      "Usage: kavrel [options]\r\n"
      " /in (inputfile) : Input CSV\r\n"
      " /out (outputfile) : Output CSV\r\n"
      " /lat (latitude) : Latitude\r\n"
      " /lon (longitude) : Longitude\r\n"
      " /sep (separator) : Separator character\r\n"
      " /step (stepsize) : Search step size\r\n"
      " /width (width) : Search width\r\n"
      " /version : Show version\r\n"
      " /help : Show help\r\n"
      "\r\n";
  ExpectRun(Run({"/help"}), 0, kVersionText + usage);
}

TEST_F(KavrelProgram, SingleLookupPrintsTheAddressAlone) {
  ExpectRun(Run({"/lat", "35.681236", "/lon", "139.767125"}), 0, kTokyoStation);
  ExpectRun(Run({"/lat", "35.40.52.45", "/lon", "139.46.1.65"}), 0, kTokyoStation);
}

TEST_F(KavrelProgram, SeparatorGoesBetweenTheAddressComponents) {
  ExpectRun(Run({"/lat", "35.681236", "/lon", "139.767125", "/sep", " - "}), 0,
            "東京都 - 千代田区 - 丸の内一丁目");
}

TEST_F(KavrelProgram, NoAddressPrintsNothingAndFails) {
  ExpectRun(Run({"/lat", "10", "/lon", "100"}), 1, "");         // outside the covered area
  ExpectRun(Run({"/lat", "43.0", "/lon", "141.3"}), 1, "");     // no data near the point
  ExpectRun(Run({"/lat", "N35.681236", "/lon", "139.767125"}), 1, "");  // unreadable: 0.0
  // A coordinate text longer than 255 bytes reads as 0.0.
  ExpectRun(Run({"/lat", "35.681236" + std::string(247, '0'), "/lon", "139.767125"}), 1, "");
  ExpectRun(Run({"/lat", "35.681236" + std::string(246, '0'), "/lon", "139.767125"}), 0,
            kTokyoStation);
}

TEST_F(KavrelProgram, SingleLookupWinsOverABatchRequest) {
  WriteBytes(WorkPath("in.csv"), "35.681236,139.767125\r\n");
  ExpectRun(Run({"/in", "in.csv", "/out", "out.csv", "/lat", "35.681236", "/lon", "139.767125"}), 0,
            kTokyoStation);
  EXPECT_FALSE(platform::FileExists(WorkPath("out.csv")));
}

TEST_F(KavrelProgram, BatchConvertsMixedLinesWithTheSeparator) {
  const std::string pairAtEnd = ",35.681236,139.767125\r\n";
  const std::string longPair = std::string(3000 - pairAtEnd.size(), 'x') + pairAtEnd;
  const std::string longText = "note:" + std::string(2993, 'y') + "\r\n";
  ASSERT_EQ(longPair.size(), 3000u);
  ASSERT_EQ(longText.size(), 3000u);
  const std::string input = "id,name,lat,lon\r\n"
                            "1,Station,35.681236,139.767125,12.5\r\n"
                            "139.767125 35.681236\r\n"
                            "35.40.52.45,139.46.1.65\r\n"
                            "\r\n"
                            "35,139\r\n"
                            "35.000000,135.000000\r\n" +
                            longPair + longText + "35.681236,139.767125";
  WriteBytes(WorkPath("in.csv"), input);
  const std::string converted = "35.681236,139.767125,東京都|千代田区|丸の内一丁目\r\n";

  const ProcessResult result = Run({"/in", "in.csv", "/out", "out.csv", "/sep", "|"});

  EXPECT_EQ(ReadBytes(WorkPath("out.csv")), "id,name,lat,lon\r\n" + converted + converted +
                                                converted + "\r\n" + "35,139\r\n" +
                                                "35.000000,135.000000,\r\n" + converted +
                                                longText + converted);
  // Positions after each line, of 6153 bytes: 17, 54, 76, 101, 103, 111,
  // 133, 3133, 6133, 6153; the last line has no line end, so no empty read
  // follows it.
  ASSERT_EQ(input.size(), 6153u);
  ExpectCompletedBatch(result,
                       "0%完了しました(0/1)\r\n10%完了しました(4/4)\r\n"
                       "20%完了しました(4/5)\r\n30%完了しました(5/5)\r\n",
                       5, 5);
}

TEST_F(KavrelProgram, BatchOfAnEmptyInput) {
  WriteBytes(WorkPath("in.csv"), "");
  const ProcessResult result = Run({"/in", "in.csv", "/out", "out.csv"});
  EXPECT_EQ(ReadBytes(WorkPath("out.csv")), "");
  ExpectCompletedBatch(result, "", 0, 0);
}

TEST_F(KavrelProgram, BatchOfAnUnreadableInput) {
  ExpectRun(Run({"/in", "missing.csv", "/out", "out.csv"}), 1,
            kStarted + "入力ファイルから読み取れません");
  EXPECT_FALSE(platform::FileExists(WorkPath("out.csv")));
  ExpectRun(Run({"/in", ".", "/out", "out.csv"}), 1, kStarted + "入力ファイルから読み取れません");
  EXPECT_FALSE(platform::FileExists(WorkPath("out.csv")));
}

TEST_F(KavrelProgram, BatchToAnUnwritableOutput) {
  WriteBytes(WorkPath("in.csv"), "35.681236,139.767125\r\n");
  const std::string failed = kStarted + "出力ファイルに書き込めません";
  ExpectRun(Run({"/in", "in.csv", "/out", "no-such-folder/out.csv"}), 1, failed);
  // The device takes the open and fails the writes, which show when the
  // output is flushed. Both paths are absolute, which must read as values.
  if (platform::FileExists("/dev/full")) {
    ExpectRun(Run({"/in", WorkPath("in.csv"), "/out", "/dev/full"}), 1,
              kStarted + "0%完了しました(1/0)\r\n10%完了しました(1/0)\r\n" +
                  "出力ファイルに書き込めません");
    // Blocks on two threads: a write fails while others are being converted.
    std::string lines;
    for (int i = 0; i < 40000; ++i) lines += "35.681236,139.767125\r\n";
    WriteBytes(WorkPath("in.csv"), lines);
    const ProcessResult threads = Run({"/in", WorkPath("in.csv"), "/out", "/dev/full", "/threads", "2"});
    EXPECT_EQ(threads.exitStatus, 1);
    EXPECT_NE(threads.output.find("出力ファイルに書き込めません"), std::string::npos) << threads.output;
    EXPECT_EQ(threads.output.find(kFinished), std::string::npos) << threads.output;
  }
}

TEST_F(KavrelProgram, AClosedStandardOutputOrPipeFailsTheRunButDoesNotEndIt) {
  WriteBytes(WorkPath("in.csv"), "35.681236,139.767125\r\n35.681236,139.767125\r\n");
  for (const StandardOutput mode : {StandardOutput::kClosedPipe, StandardOutput::kClosed}) {
    RunOptions options;
    options.mode = mode;
    struct Case {
      std::vector<std::string> arguments;
      int status;
    };
    // Text that did not reach standard output fails the run; a conversion
    // to a file still writes the whole file.
    const Case runs[] = {
        {{"/version"}, 1},
        {{"/lat", "35.681236", "/lon", "139.767125"}, 1},
        {{"/in", "in.csv", "/out", "out.csv"}, 1}};
    for (const Case& run : runs) {
      const ProcessResult result = Run(run.arguments, options);
      ASSERT_TRUE(result.exited) << run.arguments[0] << ": signal " << result.signal;
      EXPECT_EQ(result.exitStatus, run.status) << run.arguments[0];
    }
    EXPECT_EQ(ReadBytes(WorkPath("out.csv")), kConverted + kConverted);
  }
}

TEST(KavrelProgramWithoutFiles, AMissingLibraryOrPackageFailsToStartTheEngine) {
  for (const bool withLibrary : {false, true}) {
    ProgramFolder folder(withLibrary, !withLibrary);
    TempDir work;
    WriteBytes(work / "in.csv", "35.681236,139.767125\r\n");
    ExpectRun(RunProcess(folder.Program(), {"/lat", "35.681236", "/lon", "139.767125"}, work.Path()), 1,
              kEngineFailed);
    ExpectRun(RunProcess(folder.Program(), {"/in", "in.csv", "/out", "out.csv"}, work.Path()), 1,
              kEngineFailed);
    EXPECT_FALSE(platform::FileExists(work / "out.csv"));
    // Version and help need no engine.
    ExpectRun(RunProcess(folder.Program(), {"/version"}, work.Path()), 0, kVersionText);
  }
}

}  // namespace
}  // namespace kavrel::test
