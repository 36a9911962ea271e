// kavrel-pack reading one very long CSV line, plain and gzip-compressed: the
// time per byte stays the same as the line grows (bytes_per_second), since
// each byte is looked at once.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <fstream>
#include <string>

#include "address_csv.h"
#include "temp_dir.h"

namespace {

// The header and one row whose area name is `length` bytes long.
void WriteLongLine(const std::string& path, std::size_t length, bool compressed) {
  const std::string csv =
      "latitude,longitude,prefecture,city,area\n35.0,139.0,P,C," + std::string(length, 'a') + "\n";
  if (!compressed) {
    std::ofstream(path, std::ios::binary) << csv;
    return;
  }
  gzFile file = gzopen(path.c_str(), "wb1");
  gzwrite(file, csv.data(), static_cast<unsigned>(csv.size()));
  gzclose(file);
}

// Arguments: the line's length in MiB, 1 for gzip.
void BM_ReadLongLine(benchmark::State& state) {
  const std::size_t length = static_cast<std::size_t>(state.range(0)) << 20;
  kavrel::test::TempDir dir;
  const std::string path = dir / "long.csv";
  WriteLongLine(path, length, state.range(1) != 0);
  for (auto _ : state) {
    kavrel::pack::AddressCsvReader reader(path);
    kavrel::pack::AddressRow row;
    while (reader.Next(row)) benchmark::DoNotOptimize(row.area.size());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * length));
}
BENCHMARK(BM_ReadLongLine)
    ->ArgsProduct({{16, 64, 256}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
