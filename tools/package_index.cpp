#include "package_index.h"

#include "byte_order.h"
#include "kavrel/platform/text.h"

namespace kavrel::pack {

PackageIndex ReadPackageIndex(std::string_view file) {
  PackageIndex index;
  index.fileSize = file.size();
  const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
  if (file.size() < 8) {
    index.problems.push_back("the file has " + std::to_string(file.size()) +
                             " bytes, fewer than the 8-byte header");
    return index;
  }
  if (bytes[0] != 0xF0 || bytes[1] != 0x01) {
    index.problems.push_back("the file does not start with the package magic F0 01");
    return index;
  }
  index.headerRead = true;
  index.headerFlag = bytes[2];
  index.nameEncoding = bytes[3];
  index.indexSize = ReadU32(bytes + 4);
  index.dataStart = 8 + static_cast<std::uint64_t>(index.indexSize);
  std::uint64_t indexEnd = index.dataStart;
  if (index.dataStart > file.size()) {
    index.problems.push_back("the index (" + std::to_string(index.indexSize) +
                             " bytes) runs past the end of the file");
    indexEnd = file.size();
  }

  std::uint64_t pos = 8;
  while (pos < index.dataStart) {
    if (indexEnd - pos < 2 || indexEnd - pos < 12 + std::uint64_t{ReadU16(bytes + pos)}) {
      index.problems.push_back("the index record at byte " + std::to_string(pos) +
                               " runs past the end of the index");
      break;
    }
    const std::uint32_t n = ReadU16(bytes + pos);
    const unsigned char* record = bytes + pos + 2;
    IndexEntry entry;
    entry.name.assign(reinterpret_cast<const char*>(record), n);
    entry.displayName = index.nameEncoding == 1
                            ? platform::Utf16ToUtf8(platform::Utf8ToUtf16(entry.name))
                            : platform::Utf16ToUtf8(platform::Cp932ToUtf16(entry.name));
    entry.method = record[n];
    entry.flag = record[n + 1];
    entry.offset = ReadU32(record + n + 2);
    entry.storedSize = ReadU32(record + n + 6);
    entry.recordPosition = pos;
    const std::uint64_t end = index.dataStart + entry.offset + static_cast<std::uint64_t>(entry.storedSize);
    // An empty entry has nothing to read, wherever its offset points.
    entry.dataInFile = entry.storedSize == 0 || end <= file.size();
    if (!entry.dataInFile) {
      index.problems.push_back(entry.displayName + ": its data (" + std::to_string(entry.storedSize) +
                               " bytes at offset " + std::to_string(entry.offset) +
                               ") runs past the end of the file");
    }
    index.entries.push_back(std::move(entry));
    pos += 12 + n;
  }
  return index;
}

std::string MethodName(std::uint8_t method) {
  if (method == 0) return "stored";
  if (method == 1) return "deflate";
  return "method " + std::to_string(method);
}

}  // namespace kavrel::pack
