// Times ReverseGeocoding on a real package over a fixed set of coordinates
// near real address points, with and without PreloadData; PreloadData itself
// with the resident memory of the process after it; and the one-shot lookup
// of the console (open the package, look up one coordinate).
//
// Usage: kavrel_search_bench [benchmark flags] [package]
// The package is the argument, else $KAVREL_PACKAGE, else the national
// package of the build.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "kavrel/platform/files.h"
#include "kavrel/platform/text.h"
#include "kavrelcore.h"

namespace {

constexpr std::size_t kCoordinateCount = 10000;
using kavrel::bench::Coordinate;

// Opens the package afresh: an open replaces the directory, so nothing stays
// in memory from an earlier run.
bool OpenPackage(benchmark::State& state, const std::string& packagePath) {
  Cleanup();
  const std::u16string path = kavrel::platform::Utf8ToUtf16(packagePath);
  if (Initialize(path.c_str()) != KAVREL_OK) {
    state.SkipWithError("cannot open the package");
    return false;
  }
  return true;
}

// PreloadData alone per iteration (the open before it is not timed). Runs
// before anything else in the process, so that the resident memory counters
// show the engine and little else: the process at its start (`startMiB`),
// and after the last preload.
void TimePreloadData(benchmark::State& state, const std::string& packagePath, double startMiB) {
  for (auto _ : state) {
    state.PauseTiming();
    if (!OpenPackage(state, packagePath)) return;
    state.ResumeTiming();
    PreloadData();
  }
  state.counters["rss_start_MiB"] = startMiB;
  state.counters["rss_preloaded_MiB"] = kavrel::bench::MemoryMiB("VmRSS");
  Cleanup();
}

// One lookup per iteration, walking the coordinate set round and round.
void TimeReverseGeocoding(benchmark::State& state, const std::string& packagePath,
                          const std::vector<Coordinate>& coordinates) {
  if (coordinates.empty()) {
    state.SkipWithError("no address points in the package");
    return;
  }
  const auto step = static_cast<std::int32_t>(state.range(0));
  const auto width = static_cast<std::int32_t>(state.range(1));
  const bool preload = state.range(2) != 0;
  if (!OpenPackage(state, packagePath)) return;
  SetStep(step, width);
  SetSeparator(u",");
  if (preload) PreloadData();

  std::vector<kavrel_char> buffer(512);
  std::size_t next = 0;
  std::int64_t found = 0;
  for (auto _ : state) {
    const Coordinate& c = coordinates[next];
    next = (next + 1) % coordinates.size();
    std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
    const std::int32_t code = ReverseGeocoding(c.latitude, c.longitude, buffer.data(), &length, nullptr);
    found += code == KAVREL_OK;
    benchmark::DoNotOptimize(buffer.data());
  }
  state.counters["found"] = benchmark::Counter(static_cast<double>(found), benchmark::Counter::kAvgIterations);
  state.SetItemsProcessed(state.iterations());
  Cleanup();
}

// The console's single lookup: open the package, set the search, look up one
// coordinate, without preloading.
void TimeOneShotLookup(benchmark::State& state, const std::string& packagePath,
                       const std::vector<Coordinate>& coordinates) {
  if (coordinates.empty()) {
    state.SkipWithError("no address points in the package");
    return;
  }
  std::vector<kavrel_char> buffer(512);
  std::size_t next = 0;
  for (auto _ : state) {
    if (!OpenPackage(state, packagePath)) return;
    SetStep(50, 3000);
    SetSeparator(u",");
    const Coordinate& c = coordinates[next];
    next = (next + 1) % coordinates.size();
    std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
    ReverseGeocoding(c.latitude, c.longitude, buffer.data(), &length, nullptr);
    benchmark::DoNotOptimize(buffer.data());
  }
  Cleanup();
}

}  // namespace

int main(int argc, char** argv) {
  const double startMiB = kavrel::bench::MemoryMiB("VmRSS");
  benchmark::Initialize(&argc, argv);
  const std::string packagePath = kavrel::bench::PackagePath(argc, argv);
  if (!kavrel::platform::FileExists(packagePath)) {
    std::fprintf(stderr, "no package at %s (give its path or set KAVREL_PACKAGE)\n", packagePath.c_str());
    return 1;
  }
  benchmark::RegisterBenchmark("PreloadData", [&](benchmark::State& state) {
    TimePreloadData(state, packagePath, startMiB);
  })
      ->Iterations(10)
      ->Repetitions(5)
      ->ReportAggregatesOnly(true)
      ->Unit(benchmark::kMillisecond);
  // The sample is drawn from the package when the lookups first need it, after
  // the preload has been measured.
  std::vector<Coordinate> coordinates;
  auto sample = [&]() -> const std::vector<Coordinate>& {
    if (coordinates.empty()) {
      const std::vector<Coordinate> points = kavrel::bench::PackagePoints(packagePath);
      if (!points.empty()) coordinates = kavrel::bench::SampleNear(points, kCoordinateCount);
    }
    return coordinates;
  };
  benchmark::RegisterBenchmark("ReverseGeocoding", [&](benchmark::State& state) {
    TimeReverseGeocoding(state, packagePath, sample());
  })
      ->ArgNames({"step", "width", "preload"})
      ->Args({50, 3000, 1})
      ->Args({100, 300, 1})
      ->Iterations(20 * kCoordinateCount)
      ->Repetitions(5)
      ->ReportAggregatesOnly(true)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("ReverseGeocoding", [&](benchmark::State& state) {
    TimeReverseGeocoding(state, packagePath, sample());
  })
      ->ArgNames({"step", "width", "preload"})
      ->Args({50, 3000, 0})
      ->Args({100, 300, 0})
      ->Iterations(kCoordinateCount)
      ->Repetitions(5)
      ->ReportAggregatesOnly(true)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("OneShotLookup", [&](benchmark::State& state) {
    TimeOneShotLookup(state, packagePath, sample());
  })
      ->Iterations(1000)
      ->Repetitions(5)
      ->ReportAggregatesOnly(true)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
