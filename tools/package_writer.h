// Writes data packages in the layout of package_layout.h. Entries are
// stored as they are (method 0) or raw-deflated (method 1).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kavrel/format/package_layout.h"

namespace kavrel::pack {

// Raw deflate (no zlib or gzip wrapper, no checksum) of `data` at `level`
// (0 to 9). Throws std::runtime_error when zlib fails.
std::string RawDeflate(std::string_view data, int level = 9);

// One entry as it will stand in the package.
struct PackageEntry {
  std::string name;          // bytes in the package's name encoding
  std::uint8_t method = kMethodStored;
  std::uint8_t flag = 0;
  std::string stored;        // the bytes in the data area
};

// Collects entries in index order and lays them out as a package. Entries
// are placed in the data area in the same order, adjacent.
class PackageWriter {
public:
  explicit PackageWriter(std::uint8_t nameEncoding = kNamesUtf8, std::uint8_t headerFlag = 0)
      : m_nameEncoding(nameEncoding), m_headerFlag(headerFlag) {}

  // Adds an entry whose content is `content`: stored as is for method 0,
  // raw-deflated at `level` for method 1.
  void Add(std::string name, std::string_view content, std::uint8_t method = kMethodDeflate,
           int level = 9);
  // Adds an entry with its stored bytes exactly as given (any method byte),
  // for packages made by hand.
  void AddStored(std::string name, std::string stored, std::uint8_t method, std::uint8_t flag = 0);

  const std::vector<PackageEntry>& Entries() const { return m_entries; }

  // The whole package file. Throws std::length_error when a name is longer
  // than 65535 bytes or the package would pass 4 GiB.
  std::string Serialize() const;

private:
  std::uint8_t m_nameEncoding;
  std::uint8_t m_headerFlag;
  std::vector<PackageEntry> m_entries;
};

// Writes `bytes` to `path` through a uniquely named temporary file in the same
// folder that is renamed into place, so no reader ever sees a partial file
// and two writers never share a temporary file. False on any error, with
// `error` saying why; `path` is then as it was and no temporary file is left.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

}  // namespace kavrel::pack
