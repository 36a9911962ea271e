#include "temp_dir.h"

#include <filesystem>
#include <random>
#include <stdexcept>

namespace kavrel::test {

TempDir::TempDir() {
  // A new folder under a random name: create_directory makes it only where
  // nothing of that name exists, so no other test or process shares it.
  std::random_device seed;
  std::mt19937_64 random(seed());
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate = base / ("kavrel-test-" + std::to_string(random() % 1000000000000ull));
    if (std::filesystem::create_directory(candidate)) {
      m_path = candidate.string();
      return;
    }
  }
  throw std::runtime_error("no free temporary folder name");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

std::string TempDir::operator/(std::string_view name) const {
  return m_path + "/" + std::string(name);
}

}  // namespace kavrel::test
