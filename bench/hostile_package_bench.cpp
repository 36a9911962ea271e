// What a hostile package costs: about 2 MB on disk, every latitude band
// around the query holding as many points as the entry cap lets one block
// hold (KAVREL_MAX_ENTRY_BYTES / 15, some 4.5 million), all on the query's
// latitude but outside the search window, so every ring of the search looks
// at all of them and finds nothing.
//
// Reports per lookup the points gathered and the bytes held; the time is the
// benchmark's own. Each case runs once: a lookup takes seconds or more.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "engine_app.h"
#include "kavrel/format/blocks.h"
#include "kavrel/platform/text.h"
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
    std::string record(15, '\0');
    for (int i = 0; i < 4; ++i) {
      record[i] = static_cast<char>(kQueryLatitude >> (8 * i));
      record[4 + i] = static_cast<char>(kFarLongitude >> (8 * i));
    }
    record[8] = record[9] = record[12] = 1;
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

std::int64_t HeldBytes(const kavrel::CkavrelcoreApp& engine) {
  std::int64_t held = 0;
  for (std::int32_t i = 0; i < engine.Package().FileCount(); ++i) held += engine.Package().File(i).m_nSize;
  return held;
}

// One lookup; the argument is the band range (1: the library's default, 5:
// the console's step 50 and width 3000), the second 1 for a preloaded engine.
void BM_HostileLookup(benchmark::State& state) {
  const HostilePackage& package = Package();
  kavrel::CkavrelcoreApp engine;
  if (engine.Initialize(package.Path().c_str()) != 0) {
    state.SkipWithError("cannot open the package");
    return;
  }
  if (state.range(0) == 5) {
    engine.SetStep(50, 3000);
  } else {
    engine.SetStep(100, 300);
  }
  if (state.range(1) != 0) engine.PreloadData();
  std::u16string address;
  std::int32_t result = 0;
  for (auto _ : state) {
    result = engine.ReverseGeocode(35.685, kQueryLongitude, address, nullptr);
  }
  state.counters["result"] = result;
  state.counters["package_bytes"] = static_cast<double>(package.Bytes());
  state.counters["points"] = engine.Points().count;
  state.counters["point_list_bytes"] =
      static_cast<double>(engine.Points().latitudes.size() * (2 * sizeof(std::uint32_t) + sizeof(kavrel::AddressKey)));
  state.counters["entry_bytes_held"] = static_cast<double>(HeldBytes(engine));
}
BENCHMARK(BM_HostileLookup)
    ->Args({1, 0})
    ->Args({5, 0})
    ->Args({5, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
