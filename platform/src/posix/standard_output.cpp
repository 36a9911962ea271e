#include "kavrel/platform/standard_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "kavrel/platform/console.h"

namespace kavrel::platform {

namespace {

// Gives the free number of standard output to the null device, so that no
// file opened later receives what was meant for standard output. open()
// takes the lowest free number, which is the closed one.
void ParkStandardOutputOnNullDevice() {
  const int fd = ::open("/dev/null", O_WRONLY);
  if (fd >= 0 && fd != kStandardOutput) {
    ::dup2(fd, kStandardOutput);
    ::close(fd);
  }
}

}  // namespace

bool ClaimStandardOutput() {
  if (::fcntl(kStandardOutput, F_GETFD) != -1) return true;
  ParkStandardOutputOnNullDevice();
  return false;
}

int CloseStandardOutput() {
  const int error = ::close(kStandardOutput) == 0 ? 0 : errno;
  ParkStandardOutputOnNullDevice();
  return error == EINTR ? 0 : error;  // after EINTR the descriptor is closed all the same
}

}  // namespace kavrel::platform
