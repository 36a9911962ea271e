// Helpers for the test suites.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include "kavrel/platform/files.h"
#include "temp_dir.h"

namespace kavrel::test {

// Writes `bytes` to `path`, replacing it; fails the current test on error.
void WriteBytes(const std::string& path, std::string_view bytes);
// The whole content of `path`; empty (and a test failure) when unreadable.
std::string ReadBytes(const std::string& path);

// `path` written with '/', with the system's separator in its place.
template <typename Text>
Text Native(Text path) {
  std::replace(path.begin(), path.end(), static_cast<typename Text::value_type>('/'),
               static_cast<typename Text::value_type>(platform::kPathSeparator));
  return path;
}

// Each byte of `ascii` as one UTF-16 unit: for the ASCII paths of the tests.
inline std::u16string Wide(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// A device that opens and reads as empty, and so is no package file: /dev/null
// on POSIX, NUL on Windows.
#if defined(_WIN32)
inline constexpr char kNullDevice[] = "NUL";
#else
inline constexpr char kNullDevice[] = "/dev/null";
#endif

// The town-level address data, and the national package the build makes
// from it (the default package); the environment variables
// KAVREL_TEST_TOWNS_CSV and KAVREL_TEST_NATIONAL_PACKAGE name others, so
// that the real-data checks can run on a package built from other data.
std::string TownsCsvPath();
std::string NationalPackagePath();
// True when the town data in use is the file shipped in the repository, so
// that its exact counts hold; other data gives its counts by being read.
bool ShippedTownsInUse();
// The folder of the built programs, library and default package.
std::string OutputDir();

}  // namespace kavrel::test

// Skips the current test on Windows, saying why: for behaviour only POSIX
// systems have (a locale per process, files rewritten while open).
#if defined(_WIN32)
#define KAVREL_POSIX_ONLY(why) GTEST_SKIP() << (why)
#else
#define KAVREL_POSIX_ONLY(why) static_cast<void>(why)
#endif

// Fails the current test, saying why, when the national package is missing:
// the normal build makes it from the town data in the repository.
#define KAVREL_REQUIRE_NATIONAL_PACKAGE()                                          \
  do {                                                                             \
    if (!::kavrel::platform::FileExists(::kavrel::test::NationalPackagePath()))    \
      FAIL() << "no national package at " << ::kavrel::test::NationalPackagePath() \
             << ": the build makes it from " << ::kavrel::test::TownsCsvPath();    \
  } while (false)
