#include "package_file.h"

#include <cerrno>
#include <cstring>

#include "pack_error.h"

namespace kavrel::pack {

InputFile::InputFile(const std::string& path) : m_path(path) {
  errno = 0;
  m_file = platform::OpenStream(path, platform::StreamMode::kRead);
  if (!m_file) Fail(errno);
}

std::size_t InputFile::Read(char* buffer, std::size_t count) {
  errno = 0;
  const std::size_t got = std::fread(buffer, 1, count, m_file.get());
  // A folder opens like a file here; reading it is what fails.
  if (got < count && std::ferror(m_file.get())) Fail(errno);
  return got;
}

void InputFile::Fail(int error) const {
  if (error == ENOENT) throw PackError(m_path + ": no such file");
  if (error == EISDIR) throw PackError(m_path + ": is a folder, not a file");
  throw PackError(m_path + ": cannot be read: " + (error != 0 ? std::strerror(error) : "unknown error"));
}

std::string ReadWholeFile(const std::string& path) {
  InputFile file(path);
  std::string bytes;
  constexpr std::size_t kChunk = 1 << 20;
  for (;;) {
    const std::size_t old = bytes.size();
    bytes.resize(old + kChunk);
    const std::size_t got = file.Read(bytes.data() + old, kChunk);
    bytes.resize(old + got);
    if (got == 0) return bytes;
  }
}

}  // namespace kavrel::pack
