#include <windows.h>

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

std::optional<FileIdentity> IdentifyFile(const std::string& path) {
  // Backup semantics let a folder open too, as stat takes one.
  const HANDLE file = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  if (!known) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
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

FileStream OpenStream(const std::string& path, StreamMode mode) {
  const std::wstring wide = Wide(path);
  FileStream stream(_wfopen(wide.c_str(), mode == StreamMode::kRead ? L"rb" : L"wb"));
  // The C library says "permission denied" for a folder; say what it is.
  if (!stream && IsFolder(wide)) errno = EISDIR;
  return stream;
}

ReadOnlyFile::~ReadOnlyFile() { Close(); }

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept : m_file(std::exchange(other.m_file, kNoFile)) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
  if (this != &other) {
    Close();
    m_file = std::exchange(other.m_file, kNoFile);
  }
  return *this;
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
