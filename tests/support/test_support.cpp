#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace kavrel::test {

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "cannot read " << path;
    return {};
  }
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TownsCsvPath() { return KAVREL_TOWNS_CSV; }
std::string NationalPackagePath() { return KAVREL_NATIONAL_PACKAGE; }
std::string OutputDir() { return KAVREL_OUTPUT_DIR; }

}  // namespace kavrel::test
