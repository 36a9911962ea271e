// The points of a batch request's body.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel::serve {

struct BatchPoints {
  std::vector<double> latitudes;
  std::vector<double> longitudes;
};

enum class BodyResult { kRead, kMalformed, kTooManyPoints };

// Reads `body`: a JSON array of [lat, lon] pairs when its first character
// other than white space is '[', else CSV with one "lat,lon" per line (LF or
// CR LF, white space around a field allowed, empty lines skipped) whose first
// line may be a header (two fields, the first not starting like a number). Every
// coordinate must be a finite decimal number with |lat| <= 90 and
// |lon| <= 180. More than `maxPoints` points is kTooManyPoints (reading
// stops there); anything else unusable is kMalformed with `why` naming the
// line (CSV, from 1) or the byte offset (JSON, from 0).
BodyResult ReadBatchBody(std::string_view body, std::size_t maxPoints, BatchPoints& points, std::string& why);

}  // namespace kavrel::serve
