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
  return VisitIndex(index, [&](const IndexRecord& record) { records.push_back(record); });
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
