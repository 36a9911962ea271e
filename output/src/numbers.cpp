#include "kavrel/output/numbers.h"

#include <charconv>

namespace kavrel::output {

namespace {

void AppendFixed(std::string& bytes, double value, int decimals) {
  char digits[400];  // the largest double has 309 digits before the point
  const std::to_chars_result result =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
  bytes.append(digits, result.ptr);
}

}  // namespace

void AppendFixed6(std::string& bytes, double value) { AppendFixed(bytes, value, 6); }

void AppendMetres(std::string& bytes, double metres) { AppendFixed(bytes, metres, 1); }

}  // namespace kavrel::output
