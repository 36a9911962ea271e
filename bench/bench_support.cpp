#include "bench_support.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "kavrel/format/blocks.h"
#include "kavrel/format/data_package.h"
#include "kavrel/platform/text.h"

namespace kavrel::bench {

std::string PackagePath(int argc, char** argv) {
  if (argc > 1) return argv[1];
  const char* fromEnvironment = std::getenv("KAVREL_PACKAGE");
  return fromEnvironment != nullptr ? fromEnvironment : KAVREL_NATIONAL_PACKAGE;
}

std::vector<PointRecord> PackageRecords(const std::string& path) {
  CDataPackage package;
  std::vector<PointRecord> points;
  if (package.Open(platform::Utf8ToUtf16(path)) != PackageStatus::kOk) return points;
  for (std::int32_t i = 0; i < package.FileCount(); ++i) {
    const std::u16string name(package.FileName(i));
    if (!PointBlockBand(name) || package.LoadFile(name) != PackageStatus::kOk) continue;
    const CDataPackageFile& block = package.File(package.FindFile(name));
    constexpr std::int32_t kRecord = kPointRecordSize;
    for (std::int32_t offset = 0; block.Data() && offset + kRecord <= block.Size(); offset += kRecord) {
      points.push_back(ReadPointRecord(block.Data() + offset));
    }
    package.UnloadFile(name);
  }
  return points;
}

std::vector<Coordinate> PackagePoints(const std::string& path) {
  std::vector<Coordinate> points;
  for (const PointRecord& point : PackageRecords(path)) points.push_back({point.latitude / 1e6, point.longitude / 1e6});
  return points;
}

std::vector<Coordinate> SampleNear(const std::vector<Coordinate>& points, std::size_t count) {
  constexpr std::uint32_t kSeed = 20240607;
  constexpr double kJitterDegrees = 0.003;
  std::mt19937 random(kSeed);
  std::uniform_int_distribution<std::size_t> pick(0, points.size() - 1);
  std::uniform_real_distribution<double> jitter(-kJitterDegrees, kJitterDegrees);
  std::vector<Coordinate> sample;
  sample.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const Coordinate& town = points[pick(random)];
    // Drawn in a fixed order, so the set does not depend on the compiler's
    // order of evaluating arguments.
    const double dLat = jitter(random);
    const double dLon = jitter(random);
    sample.push_back({town.latitude + dLat, town.longitude + dLon});
  }
  return sample;
}

std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string one, five, fifteen;
  if (!(file >> one >> five >> fifteen)) return "?";
  return one + " " + five + " " + fifteen;
}

double MemoryMiB(const char* field) {
  std::ifstream status("/proc/self/status");
  const std::string wanted = std::string(field) + ":";
  std::string word;
  while (status >> word) {
    if (word == wanted) {
      double kilobytes = 0;
      status >> kilobytes;
      return kilobytes / 1024.0;
    }
  }
  return 0;
}

}  // namespace kavrel::bench
