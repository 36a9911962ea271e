// Times the kavrel_ interface on a real package: single lookups in both
// modes, and kavrel_lookup_many over 1,000,000 coordinates on 1 and 2
// threads. The coordinates lie near real address points.
//
// Usage: kavrel_interface_bench [benchmark flags] [package]
// The package is the argument, else $KAVREL_PACKAGE, else the national
// package of the build.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "kavrel/format/data_package.h"
#include "kavrel.h"
#include "kavrel/platform/files.h"
#include "kavrel/platform/text.h"
#include "search.h"
#include "search_index.h"

namespace {

constexpr std::size_t kSingleCount = 10000;
constexpr std::size_t kManyCount = 1000000;
constexpr std::uint32_t kSeed = 20240607;
// About 330 m of latitude; a little less of longitude.
constexpr double kJitterDegrees = 0.003;

struct Coordinates {
  std::vector<double> latitudes;
  std::vector<double> longitudes;
};

// `count` coordinates, each a point of the package moved by up to
// kJitterDegrees each way; the same for every run.
Coordinates SampleNear(const std::string& path, std::size_t count) {
  kavrel::CDataPackage package;
  Coordinates sample;
  if (package.Open(kavrel::platform::Utf8ToUtf16(path)) != 0) return sample;
  package.LoadAll();
  const kavrel::SearchIndex points(package);
  if (points.PointCount() == 0) return sample;
  std::mt19937 random(kSeed);
  std::uniform_int_distribution<std::size_t> pick(0, points.PointCount() - 1);
  std::uniform_real_distribution<double> jitter(-kJitterDegrees, kJitterDegrees);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t p = pick(random);
    const double dLat = jitter(random);
    const double dLon = jitter(random);
    sample.latitudes.push_back(kavrel::KeyDegrees(points.Latitudes()[p]) + dLat);
    sample.longitudes.push_back(kavrel::KeyDegrees(points.Longitudes()[p]) + dLon);
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

// One kavrel_lookup_many of the whole sample per iteration.
void TimeLookupMany(benchmark::State& state, const kavrel_geocoder* handle, const Coordinates& sample) {
  const kavrel_query query = {static_cast<int32_t>(state.range(0)), 0, 0, 0};
  const auto threads = static_cast<int32_t>(state.range(1));
  const std::size_t count = sample.latitudes.size();
  std::vector<kavrel_answer> answers(count);
  std::vector<int32_t> results(count);
  for (auto _ : state) {
    kavrel_lookup_many(handle, count, sample.latitudes.data(), sample.longitudes.data(), &query, threads,
                       answers.data(), results.data());
    benchmark::DoNotOptimize(answers.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(count));
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const char* fromEnvironment = std::getenv("KAVREL_PACKAGE");
  const std::string path = argc > 1 ? argv[1] : fromEnvironment ? fromEnvironment : KAVREL_NATIONAL_PACKAGE;
  kavrel_geocoder* handle = nullptr;
  if (!kavrel::platform::FileExists(path) || kavrel_open(path.c_str(), &handle) != KAVREL_SUCCESS) {
    std::fprintf(stderr, "cannot open a package at %s (give its path or set KAVREL_PACKAGE)\n", path.c_str());
    return 1;
  }
  const Coordinates single = SampleNear(path, kSingleCount);
  const Coordinates many = SampleNear(path, kManyCount);
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
      ->ArgNames({"mode", "threads"})
      ->Args({KAVREL_MODE_DESIGNED, 1})
      ->Args({KAVREL_MODE_DESIGNED, 2})
      ->Args({KAVREL_MODE_NEAREST, 1})
      ->Args({KAVREL_MODE_NEAREST, 2})
      ->Iterations(1)
      ->Repetitions(5)
      ->ReportAggregatesOnly(true)
      ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  kavrel_close(handle);
  return 0;
}
