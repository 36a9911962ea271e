// Helpers for the test suites.
#pragma once

#include <string>
#include <string_view>

#include "kavrel/platform/files.h"
#include "temp_dir.h"

namespace kavrel::test {

// Writes `bytes` to `path`, replacing it; fails the current test on error.
void WriteBytes(const std::string& path, std::string_view bytes);
// The whole content of `path`; empty (and a test failure) when unreadable.
std::string ReadBytes(const std::string& path);

// Each byte of `ascii` as one UTF-16 unit: for the ASCII paths of the tests.
inline std::u16string Wide(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// The open town-level address data, and the national package built from it
// (may not exist: see KAVREL_NATIONAL_PACKAGE_OR_SKIP).
std::string TownsCsvPath();
std::string NationalPackagePath();
// The folder of the built programs, library and default package.
std::string OutputDir();

}  // namespace kavrel::test

// Skips the current test, with a message that says why, when the national
// package has not been built (the open town data is not beside the project).
#define KAVREL_NATIONAL_PACKAGE_OR_SKIP()                                                 \
  do {                                                                                      \
    if (!::kavrel::platform::FileExists(::kavrel::test::NationalPackagePath()))             \
      GTEST_SKIP() << "national package not built (" << ::kavrel::test::NationalPackagePath() \
                   << "): the town data " << ::kavrel::test::TownsCsvPath()                 \
                   << " is not there";                                                      \
  } while (false)
