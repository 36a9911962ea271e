#include "temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace kavrel::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kavrel-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

std::string TempDir::operator/(std::string_view name) const {
  return m_path + "/" + std::string(name);
}

}  // namespace kavrel::test
