// The area the packages cover.
#pragma once

#include <cstdint>

namespace kavrel {

// 1 when 24 <= latitude < 46 and 122 <= longitude < 149 (degrees), else 0.
// Built from four rejections, so NaN passes.
std::int32_t IsInJapanBox(double latitude, double longitude);

}  // namespace kavrel
