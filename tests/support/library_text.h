// Texts as the exported functions take and give them: kavrel_char is
// char16_t on POSIX and wchar_t on Windows, UTF-16 code units on both.
#pragma once

#include <string>
#include <string_view>

#include "kavrelcore.h"

namespace kavrel::test {

using LibraryString = std::basic_string<kavrel_char>;

inline LibraryString LibraryText(std::u16string_view text) { return LibraryString(text.begin(), text.end()); }

// The zero-terminated text a function wrote into `buffer`, as UTF-16.
inline std::u16string Utf16Text(const kavrel_char* buffer) {
  const LibraryString text(buffer);
  return std::u16string(text.begin(), text.end());
}

}  // namespace kavrel::test
