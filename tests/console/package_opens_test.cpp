// Every kind of run opens the data package once, whichever lookup backend
// it takes: traced with strace, each successful open of the package's path
// counted.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "kavrel/platform/files.h"
#include "process_runner.h"
#include "program_folder.h"

namespace kavrel::test {
namespace {

constexpr const char* kStrace = "/usr/bin/strace";

class PackageOpens : public ProgramFolderTest {
protected:
  // Runs the program under strace and counts the opens of the package
  // that succeeded; `result` receives the program's run.
  int CountPackageOpens(const std::vector<std::string>& arguments, ProcessResult& result) {
    const std::string log = WorkPath("openat.log");
    // The leak checker of a sanitizer build cannot run under a tracer.
    std::vector<std::string> traced = {"-f", "-e", "trace=openat", "-o", log, "-E", "ASAN_OPTIONS=detect_leaks=0",
                                       s_folder->Program()};
    traced.insert(traced.end(), arguments.begin(), arguments.end());
    result = RunProcess(kStrace, traced, m_work.Path(), RunOptions{});
    const std::string package = "\"" + s_folder->Path("kavreldata.bin") + "\"";
    std::istringstream lines(ReadBytes(log));
    int opens = 0;
    for (std::string line; std::getline(lines, line);) {
      // A failed open ends in "= -1 ENOENT (...)" and the like.
      if (Contains(line, package) && !Contains(line, "= -1")) ++opens;
    }
    return opens;
  }
};

TEST_F(PackageOpens, OnceInEveryKindOfRun) {
  ASSERT_TRUE(platform::FileExists(kStrace)) << "strace is needed (apt-get install strace)";
  WriteBytes(WorkPath("in.csv"), "35.681236,139.767125\r\n");
  const std::vector<std::string> lookup = {"/lat", "35.681236", "/lon", "139.767125"};
  const std::vector<std::string> conversion = {"/in", "in.csv", "/out", "out.csv"};
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::vector<std::string> options;
  };
  const Case cases[] = {
      {"designed lookup", lookup, {}},
      {"/json lookup", lookup, {"/json"}},
      {"/nearest lookup", lookup, {"/nearest", "/dist"}},
      {"designed conversion", conversion, {}},
      {"/keep conversion", conversion, {"/keep", "/threads", "2"}},
      {"/package", {"/package"}, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    ProcessResult result;
    EXPECT_EQ(CountPackageOpens(arguments, result), 1) << c.name;
    ASSERT_TRUE(result.exited) << c.name;
    EXPECT_EQ(result.exitStatus, 0) << c.name << ": " << result.error;
  }
}

}  // namespace
}  // namespace kavrel::test
