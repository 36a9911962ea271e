#include "kavrel/format/package_layout.h"

#include "kavrel/format/byte_order.h"

namespace kavrel {

namespace {

constexpr unsigned char kMagic[2] = {0xF0, 0x01};

}  // namespace

std::optional<PackageHeader> ReadPackageHeader(std::string_view bytes) {
  const auto* header = reinterpret_cast<const unsigned char*>(bytes.data());
  if (bytes.size() < kPackageHeaderSize || header[0] != kMagic[0] || header[1] != kMagic[1]) return std::nullopt;
  return PackageHeader{header[2], header[3], ReadU32(header + 4)};
}

void AppendPackageHeader(std::string& out, const PackageHeader& header) {
  out.push_back(static_cast<char>(kMagic[0]));
  out.push_back(static_cast<char>(kMagic[1]));
  out.push_back(static_cast<char>(header.headerFlag));
  out.push_back(static_cast<char>(header.nameEncoding));
  AppendLittleEndian(out, header.indexSize, 4);
}

bool ReadIndex(std::string_view index, std::vector<IndexRecord>& records) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(index.data());
  const std::uint64_t size = index.size();
  std::uint64_t position = 0;
  while (position < size) {
    if (size - position < 2) return false;
    const std::uint16_t nameLength = ReadU16(bytes + position);
    if (size - position < kIndexRecordFixedSize + nameLength) return false;
    const unsigned char* tail = bytes + position + 2 + nameLength;
    records.push_back(IndexRecord{index.substr(position + 2, nameLength), tail[0], tail[1], ReadU32(tail + 2),
                                  ReadU32(tail + 6), position});
    position += kIndexRecordFixedSize + nameLength;
  }
  return true;
}

bool EntryInFile(std::uint64_t dataStart, std::uint32_t offset, std::uint32_t storedSize, std::uint64_t fileSize) {
  return storedSize == 0 || dataStart + offset + storedSize <= fileSize;
}

void AppendIndexRecord(std::string& index, std::string_view name, std::uint8_t method, std::uint8_t flag,
                       std::uint32_t offset, std::uint32_t storedSize) {
  AppendLittleEndian(index, static_cast<std::uint32_t>(name.size()), 2);
  index += name;
  index.push_back(static_cast<char>(method));
  index.push_back(static_cast<char>(flag));
  AppendLittleEndian(index, offset, 4);
  AppendLittleEndian(index, storedSize, 4);
}

}  // namespace kavrel
