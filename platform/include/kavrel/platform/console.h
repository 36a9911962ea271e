// Standard output and standard error as byte sinks.
#pragma once

#include <string_view>

namespace kavrel::platform {

// Makes writes to a closed pipe fail with an error instead of killing the
// process (SIGPIPE ignored). Call once at program start.
void IgnoreBrokenPipe();

// Writes all of `bytes` to the file descriptor, retrying short and
// interrupted writes. False when a write fails; what was written stays.
bool WriteAll(int fd, std::string_view bytes);

// File descriptor of standard output.
inline constexpr int kStandardOutput = 1;
// File descriptor of standard error.
inline constexpr int kStandardError = 2;

}  // namespace kavrel::platform
