// The search settings of a run: what the engine is sent before the single
// lookup or the batch conversion, made once from the command line.
#pragma once

#include <cstdint>
#include <string>

#include "kavrel.h"

namespace kavrel::console {

// Step and width used when the command line gives none (or none above 0).
inline constexpr std::int32_t kDefaultStep = KAVREL_DEFAULT_STEP;
inline constexpr std::int32_t kDefaultWidth = KAVREL_DEFAULT_WIDTH;

// True for a step or width the engine may be sent: greater than 0.
constexpr bool IsSearchCount(std::int32_t count) { return count > 0; }

// Separator, step (microdegrees of radius added per ring) and width (rings);
// beyond the designed search, the nearest point instead and a limit on the
// distance to the point found.
struct SearchSettings {
  std::u16string separator;  // between the address components; may be empty
  std::int32_t step = kDefaultStep;
  std::int32_t width = kDefaultWidth;
  bool nearest = false;       // the point at the smallest distance, over the whole package
  // Metres; a point farther away is no answer; infinity: no limit; 0: the
  // mode's own reach (KAVREL_DEFAULT_REACH in nearest mode, none in designed).
  double maxDistance = 0.0;
};

// The query of the thread-safe interface that asks for the same search.
kavrel_query QueryOf(const SearchSettings& settings);

}  // namespace kavrel::console
