#include "kavrel/platform/console.h"

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

}  // namespace kavrel::platform
