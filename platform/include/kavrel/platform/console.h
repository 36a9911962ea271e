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

// Closes standard output, so that a write the system still held back fails
// now rather than unseen at exit. Returns 0, or the error number of the
// failure. Nothing may be written to standard output afterwards.
int CloseStandardOutput();

}  // namespace kavrel::platform
