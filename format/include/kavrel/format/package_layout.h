// The container layout of a data package: an 8-byte header (magic F0 01,
// header flag, name encoding, 32-bit index size), the index (records of
// n + 12 bytes: 16-bit name length n, name, method, flag, 32-bit offset from
// the data start, 32-bit stored size), then the data area at 8 + index size.
// Every number is little-endian.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kavrel/format/byte_order.h"

namespace kavrel {

inline constexpr std::uint32_t kPackageHeaderSize = 8;
// Name length, method, flag, offset and stored size around the name bytes.
inline constexpr std::uint32_t kIndexRecordFixedSize = 12;

// Entry methods: the stored bytes are the content, or raw deflate of it.
inline constexpr std::uint8_t kMethodStored = 0;
inline constexpr std::uint8_t kMethodDeflate = 1;
// Name encodings of the header: 1 is UTF-8; every other value means the
// system code page, which is code page 932.
inline constexpr std::uint8_t kNamesAnsi = 0;
inline constexpr std::uint8_t kNamesUtf8 = 1;

// The header fields after the magic.
struct PackageHeader {
  std::uint8_t headerFlag = 0;
  std::uint8_t nameEncoding = kNamesUtf8;
  std::uint32_t indexSize = 0;
};

// The header at the start of `bytes`; nothing when there are fewer than
// kPackageHeaderSize bytes or the magic is wrong.
std::optional<PackageHeader> ReadPackageHeader(std::string_view bytes);

// Appends the 8 header bytes, magic first.
void AppendPackageHeader(std::string& out, const PackageHeader& header);

// One index record; `name` points into the index it was read from.
struct IndexRecord {
  std::string_view name;         // bytes in the header's name encoding
  std::uint8_t method = kMethodStored;
  std::uint8_t flag = 0;
  std::uint32_t offset = 0;      // from the data start
  std::uint32_t storedSize = 0;
  std::uint64_t position = 0;    // of the record within the index
};

// Calls `visit` with each record of `index` (the bytes after the header), in
// order. False when a record runs past the end of the index; the records
// before it have been visited.
template <typename Visit>
bool VisitIndex(std::string_view index, Visit&& visit) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(index.data());
  const std::uint64_t size = index.size();
  std::uint64_t position = 0;
  while (position < size) {
    if (size - position < 2) return false;
    const std::uint16_t nameLength = ReadU16(bytes + position);
    if (size - position < kIndexRecordFixedSize + nameLength) return false;
    const unsigned char* tail = bytes + position + 2 + nameLength;
    visit(IndexRecord{index.substr(position + 2, nameLength), tail[0], tail[1], ReadU32(tail + 2),
                      ReadU32(tail + 6), position});
    position += kIndexRecordFixedSize + nameLength;
  }
  return true;
}

// The records of `index` (the bytes after the header), in order, appended to
// `records`. False when a record runs past the end of the index; the records
// before it are kept.
bool ReadIndex(std::string_view index, std::vector<IndexRecord>& records);

// Whether an entry's stored bytes, `storedSize` of them at `offset` from the
// data area that starts at file offset `dataStart`, lie wholly inside a file
// of `fileSize` bytes. Counted without wrap-around. An entry of stored size 0
// always does: it has nothing to read, wherever its offset points.
bool EntryInFile(std::uint64_t dataStart, std::uint32_t offset, std::uint32_t storedSize, std::uint64_t fileSize);

// Appends one index record. The name must be at most 65535 bytes.
void AppendIndexRecord(std::string& index, std::string_view name, std::uint8_t method, std::uint8_t flag,
                       std::uint32_t offset, std::uint32_t storedSize);

}  // namespace kavrel
