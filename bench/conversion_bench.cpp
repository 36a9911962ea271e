// Speed of a whole batch conversion: the built program converts 100,000
// lines near real towns with the national package, as a user would run it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "kavrel/platform/files.h"
#include "process_runner.h"
#include "temp_dir.h"
#include "town_sample.h"

namespace {

constexpr std::size_t kLineCount = 100000;
constexpr std::uint32_t kSeed = 20260107;

void BM_ConvertNationalTowns(benchmark::State& state) {
  namespace fs = std::filesystem;
  if (!kavrel::platform::FileExists(KAVREL_NATIONAL_PACKAGE)) {
    state.SkipWithError("national package not built");
    return;
  }
  kavrel::test::TempDir work;
  kavrel::test::WriteTownSampleInput(KAVREL_TOWNS_CSV, work / "towns.csv", kLineCount, kSeed);
  const fs::path packageFolder = fs::path(KAVREL_NATIONAL_PACKAGE).parent_path();
  // Values starting with "/" are option words: name the files relatively.
  const std::string relativeWork = fs::relative(work.Path(), packageFolder).string();
  for (auto _ : state) {
    const kavrel::test::ProcessResult result = kavrel::test::RunProcess(
        KAVREL_PROGRAM_PATH,
        {"/in", relativeWork + "/towns.csv", "/out", relativeWork + "/addresses.csv"},
        packageFolder.string());
    if (!result.exited || result.exitStatus != 0) {
      state.SkipWithError("conversion failed");
      return;
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kLineCount));
  state.SetLabel("lines");
}
BENCHMARK(BM_ConvertNationalTowns)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
