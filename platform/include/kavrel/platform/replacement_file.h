// A new file that takes the place of another only once it is complete.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kavrel::platform {

// A file written under a unique temporary name in the folder of its target
// and renamed over the target by Commit, so that no reader of the target ever
// sees a partial file. Until committed, destroying it removes the temporary
// file. Move-only; one owner.
class ReplacementFile {
public:
  ReplacementFile() = default;
  ~ReplacementFile();
  ReplacementFile(ReplacementFile&& other) noexcept;
  ReplacementFile& operator=(ReplacementFile&& other) noexcept;
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates a new, empty temporary file beside `target` (the same folder,
  // a name that no existing file has, permissions as for any new file).
  // Discards whatever this object held before. False, with `error` saying
  // why, when it cannot be created (missing folder, no permission).
  bool Create(const std::string& target, std::string& error);

  // Appends `bytes`, retrying short writes. False (with `error`) on failure.
  bool Write(std::string_view bytes, std::string& error);

  // Flushes the file to disk, closes it and renames it over the target. On
  // failure the temporary file is removed, the target is left as it was, and
  // `error` says why. After Commit, successful or not, the object is empty.
  bool Commit(std::string& error);

  // The temporary file's path; empty when the object holds none.
  const std::string& TemporaryPath() const { return m_temporary; }

private:
  void Discard();

  // A file descriptor on POSIX, a HANDLE on Windows; -1 is neither.
  static constexpr std::intptr_t kNoFile = -1;
  std::intptr_t m_file = kNoFile;
  std::string m_target;
  std::string m_temporary;
};

}  // namespace kavrel::platform
