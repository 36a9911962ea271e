// Batch input made of coordinates near real towns, for the real-data test
// and the conversion benchmark.
#pragma once

#include <cstdint>
#include <string>

namespace kavrel::test {

// Writes `lineCount` lines "latitude,longitude\r\n" (six decimals) to
// `path`: each a town of the open town data (plain or gzip CSV at
// `townsCsv`, header skipped, towns outside 24-46 N / 122-149 E left out)
// chosen at random, moved by up to 0.002 degree in each direction. The same
// seed gives the same file. Throws std::runtime_error when the data cannot
// be read or the file cannot be written.
void WriteTownSampleInput(const std::string& townsCsv, const std::string& path,
                          std::size_t lineCount, std::uint32_t seed);

}  // namespace kavrel::test
