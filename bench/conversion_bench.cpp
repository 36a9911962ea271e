// Speed of a whole batch conversion: the built program converts 1,000,000
// lines near real towns with the national package, as a user would run it
// (start-up and preload included); and the console's own share of it, the
// same conversion in this process over a stand-in lookup backend that
// answers at once. KAVREL_BENCH_PROGRAM, when set, names another build of the program
// to time (an older one, for a before-and-after comparison). The conversion
// is also timed with /threads 1 and /threads 2.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "batch.h"
#include "kavrel/platform/files.h"
#include "process_runner.h"
#include "temp_dir.h"
#include "town_sample.h"

namespace {

constexpr std::size_t kLineCount = 1000000;
constexpr std::uint32_t kSeed = 20260107;

// The input, written once for all benchmarks of the run.
const kavrel::test::TempDir& Work() {
  static const kavrel::test::TempDir work;
  static const bool written = [] {
    kavrel::test::WriteTownSampleInput(KAVREL_TOWNS_CSV, work / "towns.csv", kLineCount, kSeed);
    return true;
  }();
  (void)written;
  return work;
}

// Runs the program over the input with `options` added to /in and /out.
void ConvertNationalTowns(benchmark::State& state, const std::vector<std::string>& options) {
  namespace fs = std::filesystem;
  if (!kavrel::platform::FileExists(KAVREL_NATIONAL_PACKAGE)) {
    state.SkipWithError("national package not built");
    return;
  }
  const char* other = std::getenv("KAVREL_BENCH_PROGRAM");
  const std::string program = other != nullptr ? other : KAVREL_PROGRAM_PATH;
  const fs::path packageFolder = fs::path(KAVREL_NATIONAL_PACKAGE).parent_path();
  // Values starting with "/" were option words in older builds: name the
  // files relatively.
  const std::string relativeWork = fs::relative(Work().Path(), packageFolder).string();
  std::vector<std::string> arguments = {"/in", relativeWork + "/towns.csv", "/out",
                                        relativeWork + "/addresses.csv"};
  arguments.insert(arguments.end(), options.begin(), options.end());
  for (auto _ : state) {
    const kavrel::test::ProcessResult result =
        kavrel::test::RunProcess(program, arguments, packageFolder.string());
    if (!result.exited || result.exitStatus != 0) {
      state.SkipWithError("conversion failed");
      return;
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kLineCount));
  state.SetLabel("lines");
}

void BM_ConvertNationalTowns(benchmark::State& state) { ConvertNationalTowns(state, {}); }
BENCHMARK(BM_ConvertNationalTowns)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// The same conversion through the thread-safe interface with /threads N.
void BM_ConvertNationalTownsThreads(benchmark::State& state) {
  ConvertNationalTowns(state, {"/threads", std::to_string(state.range(0))});
}
BENCHMARK(BM_ConvertNationalTownsThreads)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// A stand-in backend: every point has the same address, found at once.
class StandInBackend : public kavrel::console::LookupBackend {
public:
  bool Start(const std::u16string&, std::string&) override { return true; }
  std::string PackagePath() const override { return {}; }
  std::int32_t Prepare(const kavrel::console::SearchSettings&, bool, std::string&) override { return 0; }
  std::size_t BlockSize() const override { return 1; }
  void Lookup(const double*, const double*, std::size_t count,
              kavrel::console::PointAnswer* answers) override {
    for (std::size_t i = 0; i < count; ++i) {
      answers[i].result = 0;
      answers[i].address = u"東京都千代田区丸の内一丁目";
    }
  }
  std::string Meaning(std::int32_t) const override { return {}; }
};

void BM_ConsoleShareOfAConversion(benchmark::State& state) {
  StandInBackend backend;
  const std::string input = Work() / "towns.csv";
  const std::string output = Work() / "stand-in-addresses.csv";
  for (auto _ : state) {
    kavrel::console::BatchJob job;
    job.inputPath = std::u16string(input.begin(), input.end());
    job.outputPath = std::u16string(output.begin(), output.end());
    if (kavrel::console::ConvertCsvFile(backend, {}, {}, job) != kavrel::console::kBatchCompleted) {
      state.SkipWithError("conversion failed");
      return;
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kLineCount));
  state.SetLabel("lines");
}
BENCHMARK(BM_ConsoleShareOfAConversion)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
