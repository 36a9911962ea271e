#include "kavrel/platform/standard_output.h"

#include <fcntl.h>
#include <unistd.h>

#include "kavrel/platform/console.h"

namespace kavrel::platform {

bool ClaimStandardOutput() {
  if (::fcntl(kStandardOutput, F_GETFD) != -1) return true;
  // open() takes the lowest free number, which is the closed one.
  const int fd = ::open("/dev/null", O_WRONLY);
  if (fd >= 0 && fd != kStandardOutput) {
    ::dup2(fd, kStandardOutput);
    ::close(fd);
  }
  return false;
}

}  // namespace kavrel::platform
