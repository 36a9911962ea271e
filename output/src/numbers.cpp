#include "kavrel/output/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace kavrel::output {

namespace {

void AppendFixed(std::string& bytes, double value, int decimals) {
  char digits[400];  // the largest double has 309 digits before the point
  const std::to_chars_result result =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
  bytes.append(digits, result.ptr);
}

// Writes `value` when it lies within a billionth of a multiple of a
// millionth (a coordinate read from six decimals, or a point's microdegree
// key / 1e6), the common case, from that multiple's integer: about three
// times faster than the general conversion, with the same digits. Why they
// are the same: below 1,000 the product value * 1e6 stays under 2^30, where
// its rounding error is below 2^-23 (about 1.2e-7). So |product - k| < 1e-3
// puts the exact value within about 1e-9 of k / 1e6, far from the halfway
// points 0.5e-6 away, and correct rounding to six decimals gives k / 1e6.
// False, with nothing written, for any other value (ties, NaN, infinities
// and large values included).
bool AppendNearMicrodegrees(std::string& bytes, double value) {
  if (!(std::fabs(value) < 1000.0)) return false;
  const double product = value * 1e6;
  const double nearest = std::nearbyint(product);
  if (!(std::fabs(product - nearest) < 1e-3)) return false;
  auto millionths = static_cast<std::uint32_t>(std::fabs(nearest));
  char digits[16];
  char* first = digits + sizeof digits;
  for (int i = 0; i < 6; ++i, millionths /= 10) *--first = static_cast<char>('0' + millionths % 10);
  *--first = '.';
  do {
    *--first = static_cast<char>('0' + millionths % 10);
    millionths /= 10;
  } while (millionths != 0);
  if (std::signbit(value)) *--first = '-';  // "-0.000000" for -0.0 and tiny negatives, as printf writes them
  bytes.append(first, digits + sizeof digits);
  return true;
}

}  // namespace

void AppendFixed6(std::string& bytes, double value) {
  if (!AppendNearMicrodegrees(bytes, value)) AppendFixed(bytes, value, 6);
}

void AppendMetres(std::string& bytes, double metres) { AppendFixed(bytes, metres, 1); }

}  // namespace kavrel::output
