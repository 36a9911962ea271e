#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "kavrel/platform/clock.h"

namespace kavrel::platform {
namespace {

// Whether the kernel reports a processor counter that runs at one rate in
// every power state, the counter IntervalTimer counts on.
bool KernelReportsSteadyCounter() {
#if defined(__x86_64__) && defined(__linux__)
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("flags", 0) == 0) return line.find(" nonstop_tsc") != std::string::npos;
  }
#endif
  return false;
}

TEST(IntervalTimer, AgreesWithAStopwatchBeforeAndAfterItCounts) {
  IntervalTimer timer;
  bool countedOne = false;
  // 25 ms sleeps for about half a second: the timer measures the counter's
  // rate within its first 0.1 s of use, and times the rest on the counter.
  for (int i = 0; i < 20; ++i) {
    const bool counting = timer.Counts();
    const Stopwatch stopwatch;  // around the interval: it can only see more
    const IntervalTimer::Mark start = timer.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    const std::int64_t timed = timer.ElapsedMilliseconds(start);
    const std::int64_t watched = stopwatch.ElapsedMilliseconds();
    // Truncation and the measured rate's error may each take off a little.
    EXPECT_GE(timed, 24) << "interval " << i;
    EXPECT_LE(timed, watched + 1) << "interval " << i;
    countedOne = countedOne || counting;
  }
  if (KernelReportsSteadyCounter()) {
    EXPECT_TRUE(countedOne);
  }
}

}  // namespace
}  // namespace kavrel::platform
