#include "town_sample.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

namespace kavrel::test {

namespace {

struct Town {
  double latitude;
  double longitude;
};

std::vector<Town> ReadTowns(const std::string& townsCsv) {
  // gzopen reads plain files as they are, too.
  std::unique_ptr<gzFile_s, int (*)(gzFile)> file(gzopen(townsCsv.c_str(), "rb"), gzclose);
  if (!file) throw std::runtime_error("cannot open " + townsCsv);
  std::vector<Town> towns;
  char line[4096];
  bool header = true;
  while (gzgets(file.get(), line, sizeof line) != nullptr) {
    if (header) {
      header = false;
      continue;
    }
    char* end = nullptr;
    const double latitude = std::strtod(line, &end);
    if (end == line || *end != ',') continue;
    const double longitude = std::strtod(end + 1, nullptr);
    if (latitude >= 24.0 && latitude < 46.0 && longitude >= 122.0 && longitude < 149.0) {
      towns.push_back({latitude, longitude});
    }
  }
  if (towns.empty()) throw std::runtime_error("no towns in " + townsCsv);
  return towns;
}

}  // namespace

void WriteTownSampleInput(const std::string& townsCsv, const std::string& path,
                          std::size_t lineCount, std::uint32_t seed) {
  const std::vector<Town> towns = ReadTowns(townsCsv);
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::size_t> pick(0, towns.size() - 1);
  std::uniform_real_distribution<double> jitter(-0.002, 0.002);

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!out) throw std::runtime_error("cannot create " + path);
  for (std::size_t i = 0; i < lineCount; ++i) {
    const Town& town = towns[pick(random)];
    const double latitude = town.latitude + jitter(random);
    const double longitude = town.longitude + jitter(random);
    std::fprintf(out.get(), "%.6f,%.6f\r\n", latitude, longitude);
  }
  if (std::fflush(out.get()) != 0) throw std::runtime_error("cannot write " + path);
}

}  // namespace kavrel::test
