// Helpers for the kavrel-pack tests: input files and reading packages back.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "block_codec.h"
#include "kavrel/format/data_package.h"

namespace kavrel::pack {

// Shows a record in test failures as its fields.
void PrintTo(const PointRecord& point, std::ostream* out);

}  // namespace kavrel::pack

namespace kavrel::pack::test {

// Header line of the test CSV files.
inline constexpr const char* kCsvHeader = "latitude,longitude,prefecture,city,area\n";

// A package opened with the engine's reader, for reading entries back.
class PackageReader {
public:
  // Opens `path`; fails the current test when the engine refuses it.
  explicit PackageReader(const std::string& path);

  // Names of all entries in directory order, in UTF-8.
  std::vector<std::string> EntryNames() const;
  // The inflated content of the entry named `name`, or nothing when there is
  // no such entry or it does not load.
  std::optional<std::string> Content(const std::string& name);
  // The records of a point block; empty when there is no such block.
  std::vector<PointRecord> Points(const std::string& name);
  // Key and UTF-16 text of every record of a name block.
  std::vector<std::pair<std::uint32_t, std::u16string>> Names(const std::string& name);

private:
  CDataPackage m_package;
};

}  // namespace kavrel::pack::test
