// Runs a built program as a child process for the end-to-end tests.
#pragma once

#include <string>
#include <vector>

namespace kavrel::test {

// How the child's standard output is connected.
enum class StandardOutput {
  kCaptured,    // a pipe the parent reads to its end
  kClosedPipe,  // a pipe whose reading end is already closed
  kClosed,      // no standard output at all
};

struct ProcessResult {
  bool exited = false;      // false when the child ended by a signal (or did not start)
  int exitStatus = -1;      // valid when exited
  int signal = 0;           // valid when !exited
  std::string output;       // standard output bytes (kCaptured)
  std::string error;        // standard error bytes (RunOptions only)
  long peakKiB = 0;         // the child's peak resident memory, KiB
  double cpuSeconds = 0.0;  // the child's user and system time (POSIX only; 0 elsewhere)
};

// How RunProcess runs the child beyond its arguments and folder.
struct RunOptions {
  StandardOutput mode = StandardOutput::kCaptured;
  std::string locale = "C";            // LC_ALL of the child
  std::string localePath;              // LOCPATH of the child, when not empty
  std::string standardOutputFile;      // when not empty: standard output goes to this file
  std::string standardInputFile;       // when not empty: standard input comes from this file
  bool appendToOutputFile = false;     // standardOutputFile is appended to (">>"), not emptied
};

// Runs `program` with `arguments` (argv[1..]) in `workDir`, with the
// environment reduced to LC_ALL=C so that console text is UTF-8, and waits
// for it. Standard error is passed through.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workDir,
                         StandardOutput mode = StandardOutput::kCaptured);

// The same with more choices; standard error is captured into `error`
// instead of being passed through.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& workDir, const RunOptions& options);

}  // namespace kavrel::test
