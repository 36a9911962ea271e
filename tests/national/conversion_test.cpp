// A conversion of 100,000 lines near real towns with the national package.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "process_runner.h"
#include "test_support.h"
#include "town_sample.h"

namespace kavrel::test {
namespace {

constexpr std::size_t kLineCount = 100000;
constexpr std::uint32_t kSeed = 20260107;

TEST(NationalConversion, EveryLineComesOutAndIsCounted) {
  KAVREL_REQUIRE_NATIONAL_PACKAGE();
  TempDir work;
  const std::string input = work / "towns.csv";
  const std::string output = work / "addresses.csv";
  WriteTownSampleInput(TownsCsvPath(), input, kLineCount, kSeed);

  // The engine finds the package in the working folder before the one
  // beside the program. The files are named relative to that folder, since
  // a value that starts with "/" is an option word.
  const std::filesystem::path packageFolder =
      std::filesystem::path(NationalPackagePath()).parent_path();
  const std::string relativeWork = std::filesystem::relative(work.Path(), packageFolder).string();
  const ProcessResult result =
      RunProcess(KAVREL_PROGRAM_PATH,
                 {"/in", relativeWork + "/towns.csv", "/out", relativeWork + "/addresses.csv"},
                 packageFolder.string());
  ASSERT_TRUE(result.exited) << "signal " << result.signal;
  ASSERT_EQ(result.exitStatus, 0) << result.output;

  // The statistics line ends the output: 成功S件/失敗F件/所要時間E秒/1秒あたりR件
  const std::size_t successAt = result.output.rfind("成功");
  const std::size_t failureAt = result.output.rfind("件/失敗");
  ASSERT_NE(successAt, std::string::npos) << result.output;
  ASSERT_NE(failureAt, std::string::npos) << result.output;
  ASSERT_NE(result.output.find("件/所要時間", failureAt), std::string::npos) << result.output;
  const long succeeded = std::stol(result.output.substr(successAt + std::string("成功").size()));
  const long failed = std::stol(result.output.substr(failureAt + std::string("件/失敗").size()));
  EXPECT_EQ(succeeded + failed, static_cast<long>(kLineCount));
  // Every point lies within 0.002 degree of a town, well inside the search.
  EXPECT_GE(succeeded, static_cast<long>(kLineCount) * 99 / 100);
  EXPECT_NE(result.output.find("90%完了しました("), std::string::npos);

  // Each output line is the input pair with six decimals and an address.
  std::istringstream in(ReadBytes(input));
  std::istringstream out(ReadBytes(output));
  std::string inLine, outLine;
  std::size_t lines = 0, withAddress = 0;
  while (std::getline(in, inLine)) {
    ASSERT_TRUE(std::getline(out, outLine)) << "output ends after " << lines << " lines";
    ++lines;
    ASSERT_EQ(outLine.back(), '\r');
    const std::string pair = inLine.substr(0, inLine.size() - 1) + ",";
    ASSERT_EQ(outLine.compare(0, pair.size(), pair), 0) << inLine << " -> " << outLine;
    if (outLine.size() > pair.size() + 1) ++withAddress;
  }
  EXPECT_FALSE(std::getline(out, outLine)) << "more output lines than input lines";
  EXPECT_EQ(lines, kLineCount);
  EXPECT_EQ(withAddress, static_cast<std::size_t>(succeeded));
}

}  // namespace
}  // namespace kavrel::test
