// UTF-8 paths and texts as the UTF-16 that the Win32 wide-character functions
// take, and back. Private to the platform library's Windows sources.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

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

}  // namespace kavrel::platform::win32
