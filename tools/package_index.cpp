#include "package_index.h"

#include <optional>

#include "kavrel/platform/text.h"

namespace kavrel::pack {

PackageIndex ReadPackageIndex(std::string_view file) {
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
  std::vector<IndexRecord> records;
  const bool whole = ReadIndex(bytes, records) && indexInFile;
  for (const IndexRecord& record : records) {
    IndexEntry entry;
    entry.displayName = index.nameEncoding == kNamesUtf8
                            ? platform::Utf16ToUtf8(platform::Utf8ToUtf16(record.name))
                            : platform::Utf16ToUtf8(platform::Cp932ToUtf16(record.name));
    entry.method = record.method;
    entry.offset = record.offset;
    entry.storedSize = record.storedSize;
    entry.dataInFile = EntryInFile(index.dataStart, entry.offset, entry.storedSize, file.size());
    if (!entry.dataInFile) {
      index.problems.push_back(entry.displayName + ": its data (" + std::to_string(entry.storedSize) +
                               " bytes at offset " + std::to_string(entry.offset) +
                               ") runs past the end of the file");
    }
    index.entries.push_back(std::move(entry));
  }
  if (!whole) {
    const std::uint64_t stop =
        records.empty() ? 0 : records.back().position + kIndexRecordFixedSize + records.back().name.size();
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
