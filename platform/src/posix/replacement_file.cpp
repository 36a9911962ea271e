#include "kavrel/platform/replacement_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>

namespace kavrel::platform {

namespace {

std::string Describe(const std::string& path, int error) { return path + ": " + std::strerror(error); }

}  // namespace

bool ReplacementFile::Create(const std::string& target, std::string& error) {
  Discard();
  // O_EXCL with a random suffix rather than mkstemp: mkstemp makes the file
  // 0600, and the renamed package should get the usual 0666 & ~umask.
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".tmp%012llx",
                  static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
    std::string candidate = target + suffix;
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      m_file = fd;
      m_target = target;
      m_temporary = std::move(candidate);
      return true;
    }
    if (errno != EEXIST) {
      error = Describe(candidate, errno);
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
    const ssize_t written = ::write(static_cast<int>(m_file), bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      error = Describe(m_temporary, errno);
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
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
  bool ok = ::fsync(static_cast<int>(m_file)) == 0;
  if (!ok) error = Describe(m_temporary, errno);
  const int closed = ::close(static_cast<int>(std::exchange(m_file, kNoFile)));
  if (ok && closed != 0) {
    ok = false;
    error = Describe(m_temporary, errno);
  }
  if (ok && ::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
    ok = false;
    error = Describe(m_target, errno);
  }
  if (ok) m_temporary.clear();
  Discard();
  return ok;
}

void ReplacementFile::Discard() {
  if (m_file != kNoFile) ::close(static_cast<int>(std::exchange(m_file, kNoFile)));
  if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
  m_temporary.clear();
  m_target.clear();
}

}  // namespace kavrel::platform
