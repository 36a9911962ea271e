#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace kavrel::test {

void WriteBytes(const std::string& path, std::string_view bytes) {
  // Paths are UTF-8 (u8path: the same bytes on POSIX, UTF-16 on Windows).
  std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "cannot read " << path;
    return {};
  }
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {

// The value of the environment variable `name`, else `fallback`.
std::string FromEnvironment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

}  // namespace

std::string TownsCsvPath() { return FromEnvironment("KAVREL_TEST_TOWNS_CSV", KAVREL_TOWNS_CSV); }
std::string NationalPackagePath() {
  return FromEnvironment("KAVREL_TEST_NATIONAL_PACKAGE", KAVREL_NATIONAL_PACKAGE);
}
bool ShippedTownsInUse() { return TownsCsvPath() == KAVREL_SHIPPED_TOWNS_CSV; }
std::string OutputDir() { return KAVREL_OUTPUT_DIR; }

}  // namespace kavrel::test
