// A folder holding a copy of the built program, and the real engine library
// and a small package beside it unless left out, for runs of the program as
// a process.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "process_runner.h"
#include "test_packages.h"

namespace kavrel::test {

// Console texts the runs expect, and the address of the package's one point.
inline const std::string kVersionText =
    "norvane reverse geocoder version 1.1\r\nCopyright (C) 2026 norvane\r\n\r\n";
inline const std::string kArgumentError = kVersionText + "引数または設定に誤りがあります\r\n\r\n";
inline const std::string kStarted = "変換処理を開始しました\r\n";
inline const std::string kTokyoStation = "東京都千代田区丸の内一丁目";
// The output line of the input line "35.681236,139.767125".
inline const std::string kConverted = "35.681236,139.767125," + kTokyoStation + "\r\n";

// A folder holding the program, and the library and the package unless left out.
class ProgramFolder {
public:
  ProgramFolder(bool withLibrary, bool withPackage) {
    namespace fs = std::filesystem;
    fs::copy_file(KAVREL_PROGRAM_PATH, m_dir / "kavrel");
    if (withLibrary) fs::copy_file(KAVREL_LIBRARY_PATH, m_dir / "libkavrelcore.so");
    if (withPackage) WriteBytes(m_dir / "kavreldata.bin", TokyoStationPackage().Serialize());
  }
  std::string Program() const { return m_dir / "kavrel"; }
  std::string Path(const char* name) const { return m_dir / name; }

private:
  TempDir m_dir;
};

// Tests that run the program from one folder (library and package beside
// it) shared by the suite, each test in a work folder of its own, with
// standard error captured.
class ProgramFolderTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { s_folder = std::make_unique<ProgramFolder>(true, true); }
  static void TearDownTestSuite() { s_folder.reset(); }

  ProcessResult Run(const std::vector<std::string>& arguments, RunOptions options = {}) {
    return RunProcess(s_folder->Program(), arguments, m_work.Path(), options);
  }
  std::string WorkPath(const std::string& name) const { return m_work / name; }

  inline static std::unique_ptr<ProgramFolder> s_folder;
  TempDir m_work;
};

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Expects `result` to have exited with `status` and printed exactly `output`.
inline void ExpectRun(const ProcessResult& result, int status, const std::string& output) {
  ASSERT_TRUE(result.exited) << "signal " << result.signal;
  EXPECT_EQ(result.exitStatus, status);
  EXPECT_EQ(result.output, output);
}

}  // namespace kavrel::test
