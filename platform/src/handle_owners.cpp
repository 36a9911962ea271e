// The destructors and move members of the classes that own a system handle.
// They are the same on every system: each only closes what it holds and
// hands the handle over, leaving the system's own "none" value behind; the
// closing itself (Close, Release, Discard) is the system's own.
#include <string>
#include <utility>

#include "kavrel/platform/files.h"
#include "kavrel/platform/library.h"
#include "kavrel/platform/replacement_file.h"

namespace kavrel::platform {

ReadOnlyFile::~ReadOnlyFile() { Close(); }

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept : m_file(std::exchange(other.m_file, kNoFile)) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
  if (this != &other) {
    Close();
    m_file = std::exchange(other.m_file, kNoFile);
  }
  return *this;
}

SharedLibrary::~SharedLibrary() { Release(); }

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
  if (this != &other) {
    Release();
    m_handle = std::exchange(other.m_handle, nullptr);
  }
  return *this;
}

ReplacementFile::~ReplacementFile() { Discard(); }

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : m_file(std::exchange(other.m_file, kNoFile)),
      m_target(std::move(other.m_target)),
      m_temporary(std::exchange(other.m_temporary, std::string())) {}

ReplacementFile& ReplacementFile::operator=(ReplacementFile&& other) noexcept {
  if (this != &other) {
    Discard();
    m_file = std::exchange(other.m_file, kNoFile);
    m_target = std::move(other.m_target);
    m_temporary = std::exchange(other.m_temporary, std::string());
  }
  return *this;
}

}  // namespace kavrel::platform
