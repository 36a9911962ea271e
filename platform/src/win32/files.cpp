#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "kavrel/platform/files.h"
#include "kavrel/platform/text.h"
#include "wide.h"

namespace kavrel::platform {

using win32::Narrow;
using win32::Wide;

namespace {

HANDLE AsHandle(std::intptr_t file) { return reinterpret_cast<HANDLE>(file); }

// True when `path` names an existing folder.
bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

const char kPathSeparator = '\\';

bool FileExists(const std::string& path) {
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(Wide(path).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

namespace {

// The volume and file index of the open `file`: what makes it the same file
// under any of its names.
std::optional<FileIdentity> IdentifyHandle(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace

std::optional<FileIdentity> IdentifyFile(const std::string& path) {
  // Backup semantics let a folder open too, as stat takes one.
  const HANDLE file = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  const std::optional<FileIdentity> identity = IdentifyHandle(file);
  CloseHandle(file);
  return identity;
}

std::optional<FileIdentity> IdentifyStandardStream(StandardStream stream) {
  const HANDLE handle = GetStdHandle(stream == StandardStream::kInput ? STD_INPUT_HANDLE : STD_OUTPUT_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK) {
    return std::nullopt;
  }
  return IdentifyHandle(handle);
}

std::string SystemErrorText(int error) { return std::strerror(error); }

std::string CurrentDirectory() {
  return Narrow(win32::GrowingBuffer([](wchar_t* buffer, DWORD capacity) {
    // The length with the terminating zero when the buffer is too small.
    return GetCurrentDirectoryW(capacity, buffer);
  }));
}

std::string ExecutablePath() { return win32::ModulePath(nullptr); }

std::string PathFromArgument(std::u16string_view argument) { return Utf16ToUtf8(argument); }

std::u16string PathText(std::string_view path) { return Utf8ToUtf16(path); }

namespace {

// Opens `path` for writing, shared with readers only: the open itself is the
// lock, which another writer's open fails against (a sharing violation)
// before it could empty the file. Emptied once held.
FileStream CreateLocked(const std::string& path) {
  const std::wstring wide = Wide(path);
  const HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    errno = IsFolder(wide) ? EISDIR : code == ERROR_SHARING_VIOLATION ? kLockedByAnother : win32::ErrnoFor(code);
    return nullptr;
  }
  // Devices and pipes have nothing to empty.
  if (GetFileType(file) == FILE_TYPE_DISK && !SetEndOfFile(file)) {
    errno = win32::ErrnoFor(GetLastError());
    CloseHandle(file);
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(file), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(file);
    return nullptr;
  }
  std::FILE* stream = _fdopen(fd, "wb");
  if (stream == nullptr) _close(fd);
  return FileStream(stream);
}

}  // namespace

FileStream OpenStream(const std::string& path, StreamMode mode) {
  if (mode == StreamMode::kCreate) return CreateLocked(path);
  const std::wstring wide = Wide(path);
  FileStream stream(_wfopen(wide.c_str(), L"rb"));
  // The C library says "permission denied" for a folder; say what it is.
  if (!stream && IsFolder(wide)) errno = EISDIR;
  return stream;
}

bool ReadOnlyFile::Open(const std::string& path) {
  Close();
  const std::wstring wide = Wide(path);
  // Shared for reading: several processes may read one package at once.
  const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    // A folder does not open without backup semantics: the system calls
    // that "access denied".
    errno = IsFolder(wide) ? EISDIR : win32::ErrnoFor(code);
    return false;
  }
  // Only a disk file suits positioned reads: a pipe, the console or a device
  // such as NUL opens as well and is refused here.
  int error = 0;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) != FILE_TYPE_DISK) {
    error = ESPIPE;
  } else if (!GetFileInformationByHandle(file, &info)) {
    error = win32::ErrnoFor(GetLastError());
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = EISDIR;
  }
  if (error != 0) {
    CloseHandle(file);
    errno = error;
    return false;
  }
  m_file = reinterpret_cast<std::intptr_t>(file);
  return true;
}

void ReadOnlyFile::Close() {
  if (IsOpen()) CloseHandle(AsHandle(m_file));
  m_file = kNoFile;
}

std::optional<std::size_t> ReadOnlyFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const {
  if (!IsOpen()) return std::nullopt;
  auto* bytes = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const std::uint64_t at = offset + done;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(AsHandle(m_file), bytes + done, wanted, &got, &position)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return std::nullopt;
    }
    if (got == 0) break;  // end of file
    done += got;
  }
  return done;
}

std::optional<std::uint64_t> ReadOnlyFile::Size() const {
  LARGE_INTEGER size{};
  if (!IsOpen() || !GetFileSizeEx(AsHandle(m_file), &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

}  // namespace kavrel::platform
