// How kavrel_lookup_many splits its rows over threads.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "kavrel.h"

namespace kavrel {

// The number of contiguous parts, one per thread, that `count` rows are
// split into when `threads` (not negative) are asked for: one for 0 or 1,
// else as many as asked, but never more than the rows nor than
// KAVREL_MAX_THREADS, whatever is asked.
inline std::size_t LookupParts(std::size_t count, std::int32_t threads) {
  const std::size_t asked = static_cast<std::size_t>(std::max<std::int32_t>(threads, 1));
  return std::min({asked, static_cast<std::size_t>(KAVREL_MAX_THREADS), count});
}

}  // namespace kavrel
