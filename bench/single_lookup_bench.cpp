// What one single lookup costs a user, as the built program runs it with
// the national package: wall time from start to exit and the process's peak
// resident memory, for a designed lookup and for the same point with /json
// (the thread-safe handle's way). KAVREL_BENCH_PROGRAM, when set and not empty, names
// another build of the program to measure (an older one, for a before and
// after comparison; its folder must hold its library and a package).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "kavrel/platform/files.h"
#include "process_runner.h"

namespace {

void RunSingleLookup(benchmark::State& state, const std::vector<std::string>& options) {
  namespace fs = std::filesystem;
  if (!kavrel::platform::FileExists(KAVREL_NATIONAL_PACKAGE)) {
    state.SkipWithError("national package not built");
    return;
  }
  const char* other = std::getenv("KAVREL_BENCH_PROGRAM");
  const std::string program = other != nullptr && *other != '\0' ? other : KAVREL_PROGRAM_PATH;
  std::vector<std::string> arguments = {"/lat", "35.681236", "/lon", "139.767125"};
  arguments.insert(arguments.end(), options.begin(), options.end());
  const std::string folder = fs::path(program).parent_path().string();
  long peakKiB = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const kavrel::test::ProcessResult result = kavrel::test::RunProcess(program, arguments, folder);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (!result.exited || result.exitStatus != 0 || result.output.empty()) {
      state.SkipWithError("the lookup failed");
      return;
    }
    state.SetIterationTime(elapsed.count());
    peakKiB = std::max(peakKiB, result.peakKiB);
  }
  state.counters["peak_rss_MiB"] = static_cast<double>(peakKiB) / 1024.0;
}

void BM_SingleLookupDesigned(benchmark::State& state) { RunSingleLookup(state, {}); }
BENCHMARK(BM_SingleLookupDesigned)->Unit(benchmark::kMillisecond)->Iterations(20)->UseManualTime();

void BM_SingleLookupJson(benchmark::State& state) { RunSingleLookup(state, {"/json"}); }
BENCHMARK(BM_SingleLookupJson)->Unit(benchmark::kMillisecond)->Iterations(20)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
