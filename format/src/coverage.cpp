#include "kavrel/format/coverage.h"

namespace kavrel {

std::int32_t IsInJapanBox(double latitude, double longitude) {
  // Lower bounds inside, upper bounds outside. Written as rejections so that
  // a NaN, which fails every comparison, is not rejected.
  if (latitude < 24.0 || latitude >= 46.0 || longitude < 122.0 || longitude >= 149.0) return 0;
  return 1;
}

}  // namespace kavrel
