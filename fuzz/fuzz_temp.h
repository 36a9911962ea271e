// A private temporary folder for one fuzzer process, removed at exit.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace kavrel::fuzz {

inline const std::string& TempFolder() {
  // Never destroyed, so that the exit handler can still read it.
  static const std::string* const folder = [] {
    char pattern[] = "/tmp/kavrel-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(*folder, ignored);
    });
    return new std::string(pattern);
  }();
  return *folder;
}

// Writes `bytes` to `name` in the temporary folder and returns its path.
inline std::string WriteTempFile(const char* name, std::string_view bytes) {
  const std::string path = TempFolder() + "/" + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) std::abort();
  std::fclose(file);
  return path;
}

}  // namespace kavrel::fuzz
