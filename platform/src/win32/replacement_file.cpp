#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <utility>

#include "kavrel/platform/replacement_file.h"
#include "wide.h"

namespace kavrel::platform {

namespace {

HANDLE AsHandle(std::intptr_t file) { return reinterpret_cast<HANDLE>(file); }

std::string Describe(const std::string& path, DWORD error) { return path + ": " + win32::ErrorText(error); }

}  // namespace

bool ReplacementFile::Create(const std::string& target, std::string& error) {
  Discard();
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".tmp%012llx",
                  static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
    std::string candidate = target + suffix;
    // CREATE_NEW fails on an existing name, as O_EXCL does.
    const HANDLE file = CreateFileW(win32::Wide(candidate).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      m_file = reinterpret_cast<std::intptr_t>(file);
      m_target = target;
      m_temporary = std::move(candidate);
      return true;
    }
    const DWORD code = GetLastError();
    if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
      error = Describe(candidate, code);
      return false;
    }
  }
  error = target + ": no free temporary name beside it";
  return false;
}

bool ReplacementFile::Write(std::string_view bytes, std::string& error) {
  if (m_file == kNoFile) {
    error = "no temporary file is open";
    return false;
  }
  while (!bytes.empty()) {
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(AsHandle(m_file), bytes.data(), wanted, &written, nullptr)) {
      error = Describe(m_temporary, GetLastError());
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

bool ReplacementFile::Commit(std::string& error) {
  if (m_file == kNoFile) {
    error = "no temporary file is open";
    return false;
  }
  // Data on disk before the rename, so that a crash leaves the old file or the
  // whole new one, never a renamed empty file.
  bool ok = FlushFileBuffers(AsHandle(m_file)) != 0;
  if (!ok) error = Describe(m_temporary, GetLastError());
  const bool closed = CloseHandle(AsHandle(std::exchange(m_file, kNoFile))) != 0;
  if (ok && !closed) {
    ok = false;
    error = Describe(m_temporary, GetLastError());
  }
  if (ok && !MoveFileExW(win32::Wide(m_temporary).c_str(), win32::Wide(m_target).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    error = Describe(m_target, GetLastError());
  }
  if (ok) m_temporary.clear();
  Discard();
  return ok;
}

void ReplacementFile::Discard() {
  if (m_file != kNoFile) CloseHandle(AsHandle(std::exchange(m_file, kNoFile)));
  if (!m_temporary.empty()) DeleteFileW(win32::Wide(m_temporary).c_str());
  m_temporary.clear();
  m_target.clear();
}

}  // namespace kavrel::platform
