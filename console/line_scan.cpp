#include "line_scan.h"

#include <cstring>

#include "coordinate_text.h"

namespace kavrel::console {

namespace {

// Runs are copied into a token of this size with its terminator.
constexpr std::size_t kTokenSize = 128;

bool IsLineEnd(char c) { return c == '\0' || c == '\r' || c == '\n'; }

}  // namespace

CoordinatePair ScanCoordinatePair(const char* line) {
  CoordinatePair pair;
  char token[kTokenSize];
  const char* p = line;
  while (true) {
    while (!IsLineEnd(*p) && !IsCoordinateChar(*p)) ++p;
    if (IsLineEnd(*p)) break;
    const char* end = CoordinateRunEnd(p);
    const std::size_t length = static_cast<std::size_t>(end - p);
    const char* start = p;
    p = end;
    if (length >= kTokenSize) continue;
    std::memcpy(token, start, length);
    token[length] = '\0';
    if (!IsCoordinateText(token)) continue;
    const double value = ParseCoordinateText(token);
    if (value >= kLatitudeMin && value < kLatitudeEnd) {
      pair.latitude = value;
    } else if (value >= kLongitudeMin && value < kLongitudeEnd) {
      pair.longitude = value;
    } else {
      continue;
    }
    if (pair.IsComplete()) break;
  }
  return pair;
}

}  // namespace kavrel::console
