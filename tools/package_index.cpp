#include "package_index.h"

#include <optional>

#include "kavrel/platform/text.h"

namespace kavrel::pack {

PackageIndex ReadPackageIndex(std::string_view file, bool keepEntries) {
  PackageIndex index;
  index.fileSize = file.size();
  if (file.size() < kPackageHeaderSize) {
    index.problems.push_back("the file has " + std::to_string(file.size()) +
                             " bytes, fewer than the 8-byte header");
    return index;
  }
  const std::optional<PackageHeader> header = ReadPackageHeader(file);
  if (!header) {
    index.problems.push_back("the file does not start with the package magic F0 01");
    return index;
  }
  index.headerRead = true;
  index.nameEncoding = header->nameEncoding;
  index.indexSize = header->indexSize;
  index.dataStart = kPackageHeaderSize + static_cast<std::uint64_t>(index.indexSize);
  const bool indexInFile = index.dataStart <= file.size();
  if (!indexInFile) {
    index.problems.push_back("the index (" + std::to_string(index.indexSize) +
                             " bytes) runs past the end of the file");
  }

  // The records that lie inside both the index and the file.
  const std::string_view bytes = file.substr(kPackageHeaderSize, index.indexSize);
  std::uint64_t stop = 0;  // where the last record read ends
  std::uint64_t outside = 0;
  const bool whole = VisitIndex(bytes, [&](const IndexRecord& record) {
    ++index.entryCount;
    stop = record.position + kIndexRecordFixedSize + record.name.size();
    const bool dataInFile = EntryInFile(index.dataStart, record.offset, record.storedSize, file.size());
    if (!keepEntries && (dataInFile || ++outside > kMostToldEntries)) return;
    IndexEntry entry;
    entry.displayName = index.nameEncoding == kNamesUtf8
                            ? platform::Utf16ToUtf8(platform::Utf8ToUtf16(record.name))
                            : platform::Utf16ToUtf8(platform::Cp932ToUtf16(record.name));
    entry.method = record.method;
    entry.offset = record.offset;
    entry.storedSize = record.storedSize;
    entry.dataInFile = dataInFile;
    if (!dataInFile && (keepEntries ? ++outside : outside) <= kMostToldEntries) {
      index.problems.push_back(entry.displayName + ": its data (" + std::to_string(entry.storedSize) +
                               " bytes at offset " + std::to_string(entry.offset) +
                               ") runs past the end of the file");
    }
    if (keepEntries) index.entries.push_back(std::move(entry));
  }) && indexInFile;
  if (outside > kMostToldEntries) {
    index.problems.push_back("and " + std::to_string(outside - kMostToldEntries) +
                             " more entries whose data runs past the end of the file");
  }
  if (!whole) {
    index.problems.push_back("the index record at byte " + std::to_string(kPackageHeaderSize + stop) +
                             " runs past the end of the index");
  }
  return index;
}

std::string MethodName(std::uint8_t method) {
  if (method == kMethodStored) return "stored";
  if (method == kMethodDeflate) return "deflate";
  return "method " + std::to_string(method);
}

}  // namespace kavrel::pack
