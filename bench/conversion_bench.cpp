// Speed of a whole batch conversion: the built program converts 1,000,000
// and 10,000,000 lines near real towns with the national package, as a user
// would run it (start-up and preload included), as the designed run and
// with /threads 1, 2 and 0 (every core); and the console's own share of it,
// the same conversion in this process over a stand-in lookup backend that
// answers at once. Each run reports lines/s, the program's peak resident
// memory (peak_MiB: flat from 1 M to 10 M lines when the blocks in flight
// are bounded), its CPU seconds, and the load average of the machine when
// it started (load1), since other work on the machine skews the rates: the
// ratios of runs next to each other say more than their rates.
// KAVREL_BENCH_PROGRAM, when set, names another build of the program to
// time (an older one, for a before-and-after comparison).
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
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
// The thread count that stands for the designed run, without /threads.
constexpr std::int64_t kDesigned = -1;

const kavrel::test::TempDir& Work() {
  static const kavrel::test::TempDir work;
  return work;
}

// The name of an input of `lines` lines, written on first use.
std::string TownsInput(std::size_t lines) {
  static std::map<std::size_t, std::string> written;
  auto& name = written[lines];
  if (name.empty()) {
    name = "towns-" + std::to_string(lines) + ".csv";
    kavrel::test::WriteTownSampleInput(KAVREL_TOWNS_CSV, Work() / name, lines, kSeed);
  }
  return name;
}

double LoadAverage() {
  double load[1] = {0.0};
  return getloadavg(load, 1) == 1 ? load[0] : -1.0;
}

// Runs the program over `lines` lines with `options` added to /in and /out.
void ConvertNationalTowns(benchmark::State& state, std::size_t lines, const std::vector<std::string>& options) {
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
  std::vector<std::string> arguments = {"/in", relativeWork + "/" + TownsInput(lines), "/out",
                                        relativeWork + "/addresses.csv"};
  arguments.insert(arguments.end(), options.begin(), options.end());
  double load = 0.0;
  long peakKiB = 0;
  double cpuSeconds = 0.0;
  for (auto _ : state) {
    load = LoadAverage();
    const kavrel::test::ProcessResult result =
        kavrel::test::RunProcess(program, arguments, packageFolder.string());
    if (!result.exited || result.exitStatus != 0) {
      state.SkipWithError("conversion failed");
      return;
    }
    peakKiB = std::max(peakKiB, result.peakKiB);
    cpuSeconds += result.cpuSeconds;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines));
  state.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024.0;
  state.counters["cpu_s"] = cpuSeconds / static_cast<double>(state.iterations());
  state.counters["load1"] = load;
  state.SetLabel("lines");
}

// Arguments: the line count, and the threads (kDesigned: the designed run).
void BM_ConvertNationalTowns(benchmark::State& state) {
  const std::int64_t threads = state.range(1);
  std::vector<std::string> options;
  if (threads != kDesigned) options = {"/threads", std::to_string(threads)};
  ConvertNationalTowns(state, static_cast<std::size_t>(state.range(0)), options);
}
BENCHMARK(BM_ConvertNationalTowns)
    ->ArgNames({"lines", "threads"})
    ->ArgsProduct({{1000000, 10000000}, {kDesigned, 1, 2, 0}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

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
  const std::string input = Work() / TownsInput(kLineCount);
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
