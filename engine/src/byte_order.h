// Little-endian unsigned integers, as the package format stores them. Read
// byte by byte, so neither alignment nor the host's byte order matters.
#pragma once

#include <cstdint>
#include <string>

namespace kavrel {

// The `count`-byte (1 to 4) little-endian value at `bytes`.
inline std::uint32_t ReadLittleEndian(const unsigned char* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

inline std::uint16_t ReadU16(const unsigned char* bytes) {
  return static_cast<std::uint16_t>(ReadLittleEndian(bytes, 2));
}

inline std::uint32_t ReadU32(const unsigned char* bytes) { return ReadLittleEndian(bytes, 4); }

// Appends the low `count` (1 to 4) bytes of `value`, least significant first.
inline void AppendLittleEndian(std::string& out, std::uint32_t value, int count) {
  for (int i = 0; i < count; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace kavrel
