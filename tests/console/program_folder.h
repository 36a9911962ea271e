// A folder holding a copy of the built program, and the real engine library
// and a small package beside it unless left out, for runs of the program as
// a process.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "process_runner.h"
#include "test_packages.h"

namespace kavrel::test {

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

// Expects `result` to have exited with `status` and printed exactly `output`.
inline void ExpectRun(const ProcessResult& result, int status, const std::string& output) {
  ASSERT_TRUE(result.exited) << "signal " << result.signal;
  EXPECT_EQ(result.exitStatus, status);
  EXPECT_EQ(result.output, output);
}

}  // namespace kavrel::test
