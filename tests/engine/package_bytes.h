// Hand-made package bytes, for packages the writer would never produce
// (damaged headers and indexes, data out of index order).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kavrel::test {

inline void PutU32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// The 8-byte header with the right magic.
inline std::string PackageHeader(std::uint32_t indexSize, std::uint8_t nameEncoding = 1,
                                 std::uint8_t headerFlag = 0) {
  std::string out("\xF0\x01", 2);
  out.push_back(static_cast<char>(headerFlag));
  out.push_back(static_cast<char>(nameEncoding));
  PutU32(out, indexSize);
  return out;
}

// One index record: name length, name, method, flag, offset, stored size.
inline std::string IndexRecord(std::string_view name, std::uint8_t method, std::uint8_t flag,
                               std::uint32_t offset, std::uint32_t storedSize) {
  std::string out;
  out.push_back(static_cast<char>(name.size() & 0xFF));
  out.push_back(static_cast<char>((name.size() >> 8) & 0xFF));
  out += name;
  out.push_back(static_cast<char>(method));
  out.push_back(static_cast<char>(flag));
  PutU32(out, offset);
  PutU32(out, storedSize);
  return out;
}

// A whole package from its index and data area.
inline std::string PackageBytes(const std::string& index, const std::string& data,
                                std::uint8_t nameEncoding = 1) {
  return PackageHeader(static_cast<std::uint32_t>(index.size()), nameEncoding) + index + data;
}

}  // namespace kavrel::test
