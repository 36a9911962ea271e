// The console program's one way of writing text: UTF-16 inside, the console's
// codeset on the wire, no line break added.
#pragma once

#include <string>
#include <string_view>

namespace kavrel::console {

// A handle that stands for "no usable output": writes through
// CConsoleOutput::Write are refused and flagged.
inline constexpr int kInvalidHandle = -1;

// Where the console's texts go, and whether a write was refused.
struct CConsoleOutput {
  int handle;          // file descriptor, or kInvalidHandle
  int status = 0;      // 2 once a write was attempted on kInvalidHandle
  int writeError = 0;  // error number of the last write that failed, 0 while none has
  bool used = false;   // a write was attempted on a usable handle

  // Writes `text` through WriteAnsiText. On kInvalidHandle nothing is written
  // and status becomes 2. Returns the number of bytes written; a failed write
  // returns 0 and sets writeError.
  int Write(std::u16string_view text);
  // Writes `bytes` as they are, with the same bookkeeping as Write. True when
  // all of them were written (an empty text always is).
  bool WriteBytes(std::string_view bytes);
};

// Converts `text` to the console's codeset (the locale's; UTF-8 in the C and
// POSIX locales; unmappable characters become '?') and writes all of it to
// `handle`. A negative handle writes nothing. Returns the number of bytes
// written, 0 when nothing was or the write failed. A failed write (a closed
// pipe included) is not reported otherwise: console output is best effort,
// unless `error` is given, which then receives the failure's error number.
int WriteAnsiText(int handle, std::u16string_view text, int* error = nullptr);

}  // namespace kavrel::console
