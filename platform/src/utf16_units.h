// UTF-16 code units as both text codecs and the portable conversions see
// them. Private to the platform library.
#pragma once

#include <string>

namespace kavrel::platform::detail {

// A byte kept by ConsoleToUtf16KeepingBytes: the lone low surrogate U+DC00 + byte.
inline constexpr char16_t kByteEscape = 0xDC00;

inline bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Appends `c` to `bytes` as UTF-16LE, the byte order of both systems.
inline void AppendUtf16Bytes(std::string& bytes, char16_t c) {
  bytes.push_back(static_cast<char>(c & 0xFF));
  bytes.push_back(static_cast<char>(c >> 8));
}

}  // namespace kavrel::platform::detail
