// Files, folders and the paths of the running program. Paths are byte
// strings: the system's own on POSIX (UTF-8 in practice), UTF-8 on Windows,
// where they become UTF-16 for the system's wide-character functions. No
// length limits.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kavrel::platform {

// True when `path` names something that exists and is not a directory
// (stat on POSIX; FindFirstFileW on Windows, where the name is a pattern).
bool FileExists(const std::string& path);

// Size in bytes of the file at `path`, or nothing when it cannot be stat'ed.
std::optional<std::uint64_t> FileSize(const std::string& path);

// What makes a file the same file under any of its names (hard and
// symbolic links included): its device and inode numbers.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode;
  }
};

// The identity of the file `path` names, symbolic links followed; nothing
// when it cannot be stat'ed (a missing file, among others).
std::optional<FileIdentity> IdentifyFile(const std::string& path);

// A standard stream of the process.
enum class StandardStream { kInput, kOutput };

// The identity of the regular file that standard input or output is
// connected to; nothing when it is something else (a terminal, a pipe, a
// device) or closed, which no named file can be the same as.
std::optional<FileIdentity> IdentifyStandardStream(StandardStream stream);

// The system's text for error number `error` (strerror), in English.
std::string SystemErrorText(int error);

// The current working directory, or an empty string when it cannot be had.
std::string CurrentDirectory();

// Full path of the running program's executable (/proc/self/exe on POSIX,
// GetModuleFileNameW on Windows), or an empty string when it cannot be had. Inside a shared library this is still the
// program that loaded it.
std::string ExecutablePath();

// A file name from the command line (UTF-16, as ConsoleToUtf16KeepingBytes
// or the system gave it) as a path for the functions here: on POSIX the very
// bytes given (Utf16ToConsoleKeepingBytes), on Windows UTF-8.
std::string PathFromArgument(std::u16string_view argument);
// A path from the functions here (ExecutablePath, CurrentDirectory) as
// UTF-16 text for the console: on POSIX read in the console's codeset
// (ConsoleToUtf16), on Windows read as UTF-8.
std::u16string PathText(std::string_view path);

// The path separator between a folder and a name: '/' on POSIX, '\\' on
// Windows.
extern const char kPathSeparator;

// The folder of the running program, without a trailing separator ("" for a
// program in the root folder); nothing when its path cannot be had.
std::optional<std::string> ProgramFolder();

// `folder` and `name` joined by the separator.
std::string JoinPath(std::string_view folder, std::string_view name);
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);

// True when `path` holds a separator: it says which folder it is in.
bool HasFolder(std::u16string_view path);

// The part of `path` after its last separator (all of it without one).
std::u16string_view FileNamePart(std::u16string_view path);

// A C stream on a file; closes itself. To see the errors of the close, take
// the stream with release() and close it yourself.
struct StreamCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileStream = std::unique_ptr<std::FILE, StreamCloser>;

// Opens `path` as a binary stream for reading (kRead) or for writing,
// created or emptied (kCreate). Null when it cannot be opened, with errno
// saying why. A folder opens for reading on POSIX, where reading it fails
// (EISDIR); on Windows it does not open (EISDIR).
// kCreate takes an exclusive advisory lock on the file before it empties
// it, held until the stream is closed, so that two writers never share one
// output: a file another process holds locked is left untouched and
// refused with errno kLockedByAnother. Where the file system keeps no locks
// the file is written without one. On Windows the lock is the open itself,
// which shares the file with readers only.
enum class StreamMode { kRead, kCreate };
inline constexpr int kLockedByAnother = EAGAIN;
FileStream OpenStream(const std::string& path, StreamMode mode);

// A file opened read-only, for positioned reads at 64-bit offsets (pread on
// POSIX; CreateFileW shared for reading and ReadFile at an offset on
// Windows). Other readers are not refused. Closes itself when destroyed;
// move-only.
class ReadOnlyFile {
public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // Opens an existing regular file for reading. False (and closed) when it
  // cannot be opened, errno telling why, or is not a regular file: errno is
  // then EISDIR for a folder and ESPIPE for anything else (a FIFO, socket or
  // device), which positioned reads do not suit. Never waits: a FIFO
  // without a writer is refused at once. On Windows a file is what
  // GetFileType calls a disk file; a pipe, the console or NUL is refused.
  // Closes any file held before.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return m_file != kNoFile; }

  // Reads up to `count` bytes at `offset`, retrying short reads; returns the
  // number of bytes read (less than `count` only at the end of the file), or
  // nothing on a read error.
  std::optional<std::size_t> ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const;

  // Size of the open file in bytes, or nothing when closed or on error.
  std::optional<std::uint64_t> Size() const;

private:
  // A file descriptor on POSIX, a HANDLE on Windows; -1 is neither.
  static constexpr std::intptr_t kNoFile = -1;
  std::intptr_t m_file = kNoFile;
};

}  // namespace kavrel::platform
