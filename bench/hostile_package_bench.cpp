// What a hostile package costs: about 2 MB on disk, every latitude band
// around the query holding as many points as the entry cap lets one block
// hold (KAVREL_MAX_ENTRY_BYTES / 15, some 4.5 million), all on the query's
// latitude but outside the search window, so every ring of the search looks
// at all of them and finds nothing. Such blocks inflate to about 1000 times
// their stored size, and the package reader now refuses them as damaged (no
// entry may inflate beyond 64 times), so this shows what the package costs
// now: nothing is loaded, and a lookup finds nothing at once.
//
// Runs through the exported functions and reports the process's peak
// resident memory so far (the cases run in order, so each shows the most any
// case up to it needed); the time is the benchmark's own. Each
// case runs once: a lookup takes seconds or more.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>

#include "bench_support.h"
#include "kavrel/format/blocks.h"
#include "kavrel/platform/text.h"
#include "kavrel.h"
#include "kavrelcore.h"
#include "package_writer.h"
#include "temp_dir.h"

namespace {

constexpr std::uint32_t kQueryLatitude = 35685000;
constexpr std::uint32_t kFarLongitude = 140000000;  // 0.3 degrees east of the query
constexpr double kQueryLongitude = 139.7;
constexpr int kBands = 15;  // about 2 MB of package

// The package, written once for all cases.
class HostilePackage {
public:
  HostilePackage() {
    std::string record;
    kavrel::PointRecord point;
    point.latitude = kQueryLatitude;
    point.longitude = kFarLongitude;
    point.prefecture = 1;
    point.city = 1;
    point.area = 1;
    kavrel::AppendPointRecord(record, point);
    std::string block;
    const std::size_t records = KAVREL_MAX_ENTRY_BYTES / record.size();
    block.reserve(records * record.size());
    for (std::size_t i = 0; i < records; ++i) block += record;
    // One latitude in every band keeps the point list in ascending order, so
    // one compressed block serves them all.
    const std::string stored = kavrel::pack::RawDeflate(block, 9);
    kavrel::pack::PackageWriter writer;
    for (int j = -kBands / 2; j <= kBands / 2; ++j) {
      const std::uint32_t band = kQueryLatitude + static_cast<std::uint32_t>(j * kavrel::kBandHeight);
      writer.AddStored(kavrel::platform::Utf16ToUtf8(kavrel::BuildPointBlockName(band)), stored,
                       kavrel::kMethodDeflate);
    }
    const std::string bytes = writer.Serialize();
    m_bytes = bytes.size();
    m_path = m_dir / "hostile.bin";
    std::ofstream(m_path, std::ios::binary) << bytes;
  }

  std::u16string Path() const { return kavrel::platform::Utf8ToUtf16(m_path); }
  std::size_t Bytes() const { return m_bytes; }

private:
  kavrel::test::TempDir m_dir;
  std::string m_path;
  std::size_t m_bytes = 0;
};

const HostilePackage& Package() {
  static const HostilePackage package;
  return package;
}

// One lookup; the argument is the band range (1: the library's default, 5:
// the console's step 50 and width 3000), the second 1 for a preloaded engine.
void BM_HostileLookup(benchmark::State& state) {
  const HostilePackage& package = Package();
  if (Initialize(package.Path().c_str()) != KAVREL_OK) {
    state.SkipWithError("cannot open the package");
    return;
  }
  if (state.range(0) == 5) {
    SetStep(50, 3000);
  } else {
    SetStep(100, 300);
  }
  if (state.range(1) != 0) PreloadData();
  std::u16string buffer(512, u'\0');
  std::int32_t result = 0;
  for (auto _ : state) {
    std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
    result = ReverseGeocoding(35.685, kQueryLongitude, buffer.data(), &length, nullptr);
  }
  Cleanup();
  state.counters["result"] = result;
  state.counters["package_bytes"] = static_cast<double>(package.Bytes());
  state.counters["peak_MiB"] = kavrel::bench::MemoryMiB("VmHWM");
}
BENCHMARK(BM_HostileLookup)
    ->Args({1, 0})
    ->Args({5, 0})
    ->Args({5, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// A package of 4.4 million points at one place (Tokyo Station), in one
// stored block (a deflated one inflates too far for the reader), 66 MB.
class ColocatedPackage {
public:
  static constexpr std::size_t kPoints = 4400000;

  ColocatedPackage() {
    std::string record;
    kavrel::PointRecord point;
    point.latitude = 35681236;
    point.longitude = 139767125;
    point.prefecture = 1;
    point.city = 1;
    point.area = 1;
    kavrel::AppendPointRecord(record, point);
    std::string block;
    block.reserve(kPoints * record.size());
    for (std::size_t i = 0; i < kPoints; ++i) block += record;
    kavrel::pack::PackageWriter writer;
    writer.AddStored(kavrel::platform::Utf16ToUtf8(kavrel::BuildPointBlockName(point.latitude)), std::move(block),
                     kavrel::kMethodStored);
    m_path = m_dir / "colocated.bin";
    std::ofstream(m_path, std::ios::binary) << writer.Serialize();
  }

  const std::string& Path() const { return m_path; }

private:
  kavrel::test::TempDir m_dir;
  std::string m_path;
};

// One nearest-mode lookup among the co-located points, on a handle whose
// nearest grid is built ahead: at the place itself (0), 1 km south of it
// (1), and 100 km south with no distance limit (2).
void BM_ColocatedNearest(benchmark::State& state) {
  static const ColocatedPackage package;
  kavrel_geocoder* handle = nullptr;
  if (kavrel_open(package.Path().c_str(), &handle) != KAVREL_SUCCESS ||
      kavrel_preload(handle, KAVREL_MODE_NEAREST) != KAVREL_SUCCESS) {
    state.SkipWithError("cannot open the package");
    kavrel_close(handle);
    return;
  }
  const double southward[] = {0.0, 0.009, 0.9};
  const double latitude = 35.681236 - southward[state.range(0)];
  const kavrel_query query = {KAVREL_MODE_NEAREST, 0, 0, INFINITY};
  kavrel_answer answer;
  std::int32_t result = 0;
  for (auto _ : state) {
    result = kavrel_lookup(handle, latitude, 139.767125, &query, &answer);
    benchmark::DoNotOptimize(answer);
  }
  state.counters["result"] = result;
  state.counters["metres"] = answer.distance;
  state.counters["peak_MiB"] = kavrel::bench::MemoryMiB("VmHWM");
  kavrel_close(handle);
}
BENCHMARK(BM_ColocatedNearest)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
