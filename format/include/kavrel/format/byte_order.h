// Little-endian unsigned integers, as the package format stores them. Read
// byte by byte, so neither alignment nor the host's byte order matters; the
// shifts are written out because compilers turn exactly this pattern into a
// single load, which the point loading depends on for its speed.
#pragma once

#include <cstdint>
#include <string>

namespace kavrel {

inline std::uint16_t ReadU16(const unsigned char* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

inline std::uint32_t ReadU24(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16;
}

inline std::uint32_t ReadU32(const unsigned char* bytes) {
  return ReadU24(bytes) | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Appends the low `count` (1 to 4) bytes of `value`, least significant first.
inline void AppendLittleEndian(std::string& out, std::uint32_t value, int count) {
  for (int i = 0; i < count; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace kavrel
