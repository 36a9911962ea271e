#include "console_output.h"

#include <cerrno>

#include "kavrel/platform/console.h"
#include "kavrel/platform/text.h"

namespace kavrel::console {

int CConsoleOutput::Write(std::u16string_view text) {
  if (handle == kInvalidHandle) {
    status = 2;
    return 0;
  }
  used = true;
  return WriteAnsiText(handle, text, &writeError);
}

bool CConsoleOutput::WriteBytes(std::string_view bytes) {
  if (handle == kInvalidHandle) {
    status = 2;
    return bytes.empty();
  }
  used = true;
  if (bytes.empty() || platform::WriteAll(handle, bytes)) return true;
  writeError = errno;
  return false;
}

int WriteAnsiText(int handle, std::u16string_view text, int* error) {
  if (handle < 0 || text.empty()) return 0;
  const std::string bytes = platform::Utf16ToConsole(text);
  if (!platform::WriteAll(handle, bytes)) {
    if (error != nullptr) *error = errno;
    return 0;
  }
  return static_cast<int>(bytes.size());
}

}  // namespace kavrel::console
