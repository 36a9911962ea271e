#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>

#include "kavrel/platform/console.h"
#include "kavrel/platform/standard_output.h"

namespace kavrel::platform {

namespace {

// Gives the C library's standard output number to the null device (which
// also makes it the process's standard output handle), so that nothing
// written later reaches a file opened in its place.
void ParkStandardOutputOnNullDevice() {
  const int fd = _wopen(L"NUL", _O_WRONLY | _O_BINARY);
  if (fd >= 0 && fd != kStandardOutput) {
    _dup2(fd, kStandardOutput);
    _close(fd);
  }
}

}  // namespace

bool ClaimStandardOutput() {
  // Bytes pass unchanged, as on POSIX: the C library would otherwise turn
  // "\n" into "\r\n" on the standard streams and stop input at a ^Z.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE && _get_osfhandle(kStandardOutput) != -1) return true;
  ParkStandardOutputOnNullDevice();
  return false;
}

int CloseStandardOutput() {
  const int error = _close(kStandardOutput) == 0 ? 0 : errno;
  ParkStandardOutputOnNullDevice();
  return error;
}

}  // namespace kavrel::platform
