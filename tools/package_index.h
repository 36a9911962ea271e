// The header and index of a package file, read from its bytes as they are,
// with every inconsistency noted rather than smoothed over.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kavrel/format/package_layout.h"

namespace kavrel::pack {

// One index record.
struct IndexEntry {
  std::string displayName;    // the name in UTF-8, decoded by the header's name encoding
  std::uint8_t method = 0;
  std::uint32_t offset = 0;   // from the data start
  std::uint32_t storedSize = 0;
  bool dataInFile = false;    // the stored bytes lie wholly inside the file (or there are none)
};

// The header, the index records that could be read, and what is wrong.
struct PackageIndex {
  bool headerRead = false;    // the file has 8 bytes and the magic F0 01
  std::uint8_t nameEncoding = 0;
  std::uint32_t indexSize = 0;
  std::uint64_t dataStart = 0;
  std::uint64_t fileSize = 0;
  std::uint64_t entryCount = 0;  // records read, kept in entries or not
  std::vector<IndexEntry> entries;
  // One sentence per inconsistency: a short file, a wrong magic, an index
  // past the end of the file, a record past the end of the index, an entry
  // whose data lies past the end of the file.
  std::vector<std::string> problems;
};

// Reads the header and index from the whole `file` content. Never reads
// beyond it; records up to the first one that runs past the index end are
// counted, and kept in entries unless `keepEntries` is false (an index of
// millions of records then costs no memory of its own). Of the entries
// whose data runs past the end of the file, the first kMostToldEntries are
// told one by one and the rest in one count.
inline constexpr std::size_t kMostToldEntries = 20;
PackageIndex ReadPackageIndex(std::string_view file, bool keepEntries = true);

// "stored", "deflate", or "method N" for any other method byte.
std::string MethodName(std::uint8_t method);

}  // namespace kavrel::pack
