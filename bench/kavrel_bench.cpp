// Times the kavrel_ interface on a real package: opening a handle for one
// lookup, single lookups in both modes, and kavrel_lookup_many over
// 1,000,000 coordinates on 1 and 2 threads, in one call and in calls of
// KAVREL_PRELOAD_ROWS rows. The coordinates lie near real address points.
//
// Usage: kavrel_interface_bench [benchmark flags] [package]
// The package is the argument, else $KAVREL_PACKAGE, else the national
// package of the build.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "kavrel.h"
#include "kavrel/platform/files.h"

namespace {

constexpr std::size_t kSingleCount = 10000;
constexpr std::size_t kManyCount = 1000000;

// The sample as kavrel_lookup_many takes it: latitudes and longitudes apart.
struct Coordinates {
  std::vector<double> latitudes;
  std::vector<double> longitudes;
};

Coordinates SplitSample(const std::vector<kavrel::bench::Coordinate>& points, std::size_t count) {
  Coordinates sample;
  if (points.empty()) return sample;
  for (const kavrel::bench::Coordinate& c : kavrel::bench::SampleNear(points, count)) {
    sample.latitudes.push_back(c.latitude);
    sample.longitudes.push_back(c.longitude);
  }
  return sample;
}

// One kavrel_lookup per iteration, walking the sample.
void TimeLookup(benchmark::State& state, const kavrel_geocoder* handle, const Coordinates& sample) {
  const kavrel_query query = {static_cast<int32_t>(state.range(0)), 0, 0, 0};
  std::size_t next = 0;
  std::int64_t found = 0;
  kavrel_answer answer;
  for (auto _ : state) {
    found += kavrel_lookup(handle, sample.latitudes[next], sample.longitudes[next], &query, &answer) ==
             KAVREL_SUCCESS;
    benchmark::DoNotOptimize(answer);
    next = (next + 1) % sample.latitudes.size();
  }
  state.counters["found"] = benchmark::Counter(static_cast<double>(found), benchmark::Counter::kAvgIterations);
  state.SetItemsProcessed(state.iterations());
}

// The whole sample per iteration, in calls of kavrel_lookup_many of
// `block` rows (0: one call), as a host reading its input in blocks makes
// them.
void TimeLookupMany(benchmark::State& state, const kavrel_geocoder* handle, const Coordinates& sample) {
  const kavrel_query query = {static_cast<int32_t>(state.range(0)), 0, 0, 0};
  const auto threads = static_cast<int32_t>(state.range(1));
  const std::size_t count = sample.latitudes.size();
  const std::size_t block = state.range(2) > 0 ? static_cast<std::size_t>(state.range(2)) : count;
  std::vector<kavrel_answer> answers(count);
  std::vector<int32_t> results(count);
  for (auto _ : state) {
    for (std::size_t start = 0; start < count; start += block) {
      kavrel_lookup_many(handle, std::min(block, count - start), &sample.latitudes[start], &sample.longitudes[start],
                         &query, threads, &answers[start], &results[start]);
    }
    benchmark::DoNotOptimize(answers.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(count));
}

// kavrel_open, one lookup near Tokyo Station and kavrel_close per
// iteration: what a host that looks up one point pays, with the memory the
// handle holds after that lookup.
void TimeOpenAndFirstLookup(benchmark::State& state, const std::string& path) {
  const kavrel_query query = {static_cast<int32_t>(state.range(0)), 0, 0, 0};
  double heldMiB = 0;
  for (auto _ : state) {
    const double before = kavrel::bench::MemoryMiB("VmRSS");
    kavrel_geocoder* handle = nullptr;
    kavrel_answer answer;
    if (kavrel_open(path.c_str(), &handle) != KAVREL_SUCCESS ||
        kavrel_lookup(handle, 35.681236, 139.767125, &query, &answer) != KAVREL_SUCCESS) {
      state.SkipWithError("the lookup failed");
      kavrel_close(handle);
      return;
    }
    heldMiB += kavrel::bench::MemoryMiB("VmRSS") - before;
    kavrel_close(handle);
  }
  state.counters["held_MiB"] = benchmark::Counter(heldMiB, benchmark::Counter::kAvgIterations);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::string path = kavrel::bench::PackagePath(argc, argv);
  kavrel_geocoder* handle = nullptr;
  if (!kavrel::platform::FileExists(path) || kavrel_open(path.c_str(), &handle) != KAVREL_SUCCESS) {
    std::fprintf(stderr, "cannot open a package at %s (give its path or set KAVREL_PACKAGE)\n", path.c_str());
    return 1;
  }
  const std::vector<kavrel::bench::Coordinate> points = kavrel::bench::PackagePoints(path);
  const Coordinates single = SplitSample(points, kSingleCount);
  const Coordinates many = SplitSample(points, kManyCount);
  benchmark::RegisterBenchmark("kavrel_open_and_first_lookup",
                               [&](benchmark::State& state) { TimeOpenAndFirstLookup(state, path); })
      ->ArgNames({"mode"})
      ->Arg(KAVREL_MODE_DESIGNED)
      ->Arg(KAVREL_MODE_NEAREST)
      ->Iterations(5)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("kavrel_lookup", [&](benchmark::State& state) { TimeLookup(state, handle, single); })
      ->ArgNames({"mode"})
      ->Arg(KAVREL_MODE_DESIGNED)
      ->Arg(KAVREL_MODE_NEAREST)
      ->Iterations(kSingleCount)
      ->Repetitions(5)
      ->ReportAggregatesOnly(true)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("kavrel_lookup_many",
                               [&](benchmark::State& state) { TimeLookupMany(state, handle, many); })
      ->ArgNames({"mode", "threads", "block"})
      ->Args({KAVREL_MODE_DESIGNED, 1, 0})
      ->Args({KAVREL_MODE_DESIGNED, 2, 0})
      ->Args({KAVREL_MODE_NEAREST, 1, 0})
      ->Args({KAVREL_MODE_NEAREST, 2, 0})
      ->Args({KAVREL_MODE_DESIGNED, 1, KAVREL_PRELOAD_ROWS})
      ->Args({KAVREL_MODE_NEAREST, 1, KAVREL_PRELOAD_ROWS})
      ->Iterations(1)
      ->Repetitions(5)
      ->ReportAggregatesOnly(true)
      ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  kavrel_close(handle);
  return 0;
}
