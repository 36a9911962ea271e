#include "package_file.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include "pack_error.h"

namespace kavrel::pack {

namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
  if (error == ENOENT) throw PackError(path + ": no such file");
  if (error == EISDIR) throw PackError(path + ": is a folder, not a file");
  if (error == ESPIPE) {
    throw PackError(path + ": is not a regular file (a FIFO, socket or device); a package is read from a file");
  }
  throw PackError(path + ": cannot be read: " + (error != 0 ? std::strerror(error) : "unknown error"));
}

}  // namespace

InputFile::InputFile(const std::string& path) : m_path(path) {
  errno = 0;
  m_file = platform::OpenStream(path, platform::StreamMode::kRead);
  if (!m_file) Fail(m_path, errno);
}

std::size_t InputFile::Read(char* buffer, std::size_t count) {
  errno = 0;
  const std::size_t got = std::fread(buffer, 1, count, m_file.get());
  // A folder opens like a file here; reading it is what fails.
  if (got < count && std::ferror(m_file.get())) Fail(m_path, errno);
  return got;
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

std::string ReadPackageFile(const std::string& path) {
  platform::ReadOnlyFile file;
  errno = 0;
  if (!file.Open(path)) Fail(path, errno);
  const std::optional<std::uint64_t> size = file.Size();
  if (!size) Fail(path, errno);
  std::string bytes(static_cast<std::size_t>(*size), '\0');
  const std::optional<std::size_t> got = file.ReadAt(0, bytes.data(), bytes.size());
  if (!got) Fail(path, errno);
  // A file that shrank meanwhile is read as far as it goes.
  bytes.resize(*got);
  return bytes;
}

}  // namespace kavrel::pack
