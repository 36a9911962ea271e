// UTF-8 paths and texts as the UTF-16 that the Win32 wide-character functions
// take, and back. Private to the platform library's Windows sources.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel::platform::win32 {

// `text` (UTF-8) as UTF-16 for a W function; invalid bytes give U+FFFD.
std::wstring Wide(std::string_view text);
// `text` (UTF-16 from a W function) as UTF-8; unpaired surrogates give '?'.
std::string Narrow(std::wstring_view text);

// What the system says about error `code` (GetLastError), in English where
// the system has it, as UTF-8 without the trailing line end.
std::string ErrorText(DWORD code);

// The error number of the C library closest to the system error `code`,
// for callers that report errno (EPIPE for a closed pipe, ENOSPC for a full
// disk, ENOENT for a missing file, EACCES for a refused one, else EIO).
int ErrnoFor(DWORD code);

// Calls `fill(buffer, capacity)`, which returns the characters written (the
// text's full length, or the capacity or more when the buffer was too small),
// with ever larger buffers until the text fits; empty when `fill` fails.
template <typename Fill>
std::wstring GrowingBuffer(Fill fill) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD capacity = static_cast<DWORD>(buffer.size());
    const DWORD length = fill(buffer.data(), capacity);
    if (length == 0) return {};
    if (length < capacity) return std::wstring(buffer.data(), length);
    buffer.resize(std::max<std::size_t>(buffer.size() * 2, length + 1));
  }
}

// The full path of `module` (the program for null) as UTF-8, of any length;
// empty when the system cannot say (GetModuleFileNameW).
std::string ModulePath(HMODULE module);

}  // namespace kavrel::platform::win32
