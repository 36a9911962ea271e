#include "kavrel/platform/files.h"
#include "kavrel/platform/text.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace kavrel::platform {

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

std::optional<FileIdentity> IdentifyFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

std::optional<FileIdentity> IdentifyStandardStream(StandardStream stream) {
  struct stat info {};
  const int fd = stream == StandardStream::kInput ? STDIN_FILENO : STDOUT_FILENO;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

std::string SystemErrorText(int error) {
  // Only LC_CTYPE follows the user's locale, so the text is the C locale's.
  return std::strerror(error);
}

std::string CurrentDirectory() {
  std::vector<char> buffer(256);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

std::string ExecutablePath() {
  std::vector<char> buffer(256);
  for (;;) {
    ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);  // possibly cut: try again with more room
  }
}

const char kPathSeparator = '/';

std::string PathFromArgument(std::u16string_view argument) { return Utf16ToConsoleKeepingBytes(argument); }

std::u16string PathText(std::string_view path) { return ConsoleToUtf16(path); }

namespace {

// Opens `path` for writing without emptying it, locks it, then empties it:
// emptying first would lose what another writer is making.
FileStream CreateLocked(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  const auto fail = [fd](int error) {
    ::close(fd);
    errno = error;
    return FileStream();
  };
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return fail(kLockedByAnother);
    if (errno != ENOLCK && errno != EOPNOTSUPP && errno != EINVAL) return fail(errno);
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) return fail(errno);
  // Devices and pipes have nothing to empty.
  if (S_ISREG(info.st_mode) && ::ftruncate(fd, 0) != 0) return fail(errno);
  std::FILE* file = ::fdopen(fd, "wb");
  if (file == nullptr) return fail(errno);
  return FileStream(file);
}

}  // namespace

FileStream OpenStream(const std::string& path, StreamMode mode) {
  if (mode == StreamMode::kCreate) return CreateLocked(path);
  return FileStream(std::fopen(path.c_str(), "rb"));
}

bool ReadOnlyFile::Open(const std::string& path) {
  Close();
  // Without O_NONBLOCK, opening a FIFO waits for a writer; on a regular file
  // the flag changes nothing.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  const bool known = ::fstat(fd, &info) == 0;
  if (!known || !S_ISREG(info.st_mode)) {
    const int error = !known ? errno : S_ISDIR(info.st_mode) ? EISDIR : ESPIPE;
    ::close(fd);
    errno = error;
    return false;
  }
  m_file = fd;
  return true;
}

void ReadOnlyFile::Close() {
  if (IsOpen()) ::close(static_cast<int>(m_file));
  m_file = kNoFile;
}

std::optional<std::size_t> ReadOnlyFile::ReadAt(std::uint64_t offset, void* buffer,
                                                std::size_t count) const {
  if (!IsOpen()) return std::nullopt;
  const int fd = static_cast<int>(m_file);
  auto* bytes = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t got = ::pread(fd, bytes + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (got == 0) break;  // end of file
    done += static_cast<std::size_t>(got);
  }
  return done;
}

std::optional<std::uint64_t> ReadOnlyFile::Size() const {
  struct stat info {};
  if (!IsOpen() || ::fstat(static_cast<int>(m_file), &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

}  // namespace kavrel::platform
