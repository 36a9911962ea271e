#include "kavrel/platform/console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace kavrel::platform {

void IgnoreBrokenPipe() { std::signal(SIGPIPE, SIG_IGN); }

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

int CloseStandardOutput() {
  const int error = ::close(kStandardOutput) == 0 ? 0 : errno;
  // The number stays taken, by the null device, so that no file opened
  // later receives what was meant for standard output.
  const int fd = ::open("/dev/null", O_WRONLY);
  if (fd >= 0 && fd != kStandardOutput) {
    ::dup2(fd, kStandardOutput);
    ::close(fd);
  }
  return error == EINTR ? 0 : error;  // after EINTR the descriptor is closed all the same
}

}  // namespace kavrel::platform
