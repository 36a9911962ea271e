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
  std::string m_path;
  platform::FileStream m_file;
};

// The whole content of `path`. Throws PackError as InputFile does.
std::string ReadWholeFile(const std::string& path);

// The whole content of the package at `path`, opened as the package reader
// opens it: anything but a regular file is refused at once, a FIFO never
// waited on. Throws PackError as InputFile does, and "PATH: is not a regular
// file ..." for a FIFO, socket or device.
std::string ReadPackageFile(const std::string& path);

}  // namespace kavrel::pack
