// Reading input files for the package tools, with failures that say which
// file and what is wrong with it.
#pragma once

#include <cstddef>
#include <string>

#include "kavrel/platform/files.h"

namespace kavrel::pack {

// A file opened for reading bytes. Every failure throws PackError naming the
// path: "PATH: no such file", "PATH: is a folder, not a file", or the
// system's reason. Move-free; closes itself.
class InputFile {
public:
  explicit InputFile(const std::string& path);
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Reads up to `count` bytes into `buffer`; fewer only at the end of the
  // file, 0 there.
  std::size_t Read(char* buffer, std::size_t count);

private:
  [[noreturn]] void Fail(int error) const;

  std::string m_path;
  platform::FileStream m_file;
};

// The whole content of `path`. Throws PackError as InputFile does.
std::string ReadWholeFile(const std::string& path);

}  // namespace kavrel::pack
