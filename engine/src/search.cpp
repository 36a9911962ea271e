#include "search.h"

#include <cstdint>

namespace kavrel {

std::uint32_t CoordinateKey(double degrees) {
  const double microdegrees = degrees * 1000000.0;
  // 2^63: beyond it, as for NaN, the hardware conversion gives
  // 0x8000000000000000, whose low 32 bits are 0.
  constexpr double kLimit = 9223372036854775808.0;
  if (!(microdegrees > -kLimit && microdegrees < kLimit)) return 0;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(microdegrees)));
}

SearchParameters StepParameters(std::int32_t step, std::int32_t width) {
  // The band range comes from the arguments as passed, their product wrapping
  // at 32 bits, then divided with truncation toward zero.
  return {step > 0 ? step : kStartStep, width > 0 ? width : kStartWidth, WrappingMultiply(step, width) / 30000};
}

SearchParameters EffectiveParameters(const SearchParameters& set) {
  if (set.bandRange > 0) return set;
  return {kStartStep, kStartWidth, 1};
}

std::int32_t FindStartIndex(std::int32_t n, const std::uint32_t* latitudes, std::uint32_t key) {
  return FindStartIndexBy(n, [&](std::int32_t probe) {
    const std::uint32_t value = latitudes[probe];
    return value == key ? 0 : value > key ? 1 : -1;
  });
}

}  // namespace kavrel
