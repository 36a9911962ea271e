#include <windows.h>
#include <io.h>

#include <algorithm>
#include <cerrno>

#include "kavrel/platform/console.h"
#include "wide.h"

namespace kavrel::platform {

// A write to a pipe whose reader has gone fails with ERROR_NO_DATA; no
// signal ends the process, so there is nothing to ignore.
void IgnoreBrokenPipe() {}

bool WriteAll(int fd, std::string_view bytes) {
  const HANDLE handle = fd == kStandardOutput  ? GetStdHandle(STD_OUTPUT_HANDLE)
                        : fd == kStandardError ? GetStdHandle(STD_ERROR_HANDLE)
                                               : reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return false;
  }
  while (!bytes.empty()) {
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data(), wanted, &written, nullptr)) {
      errno = win32::ErrnoFor(GetLastError());
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace kavrel::platform
