#include "line_scan.h"

#include <cstring>

#include "coordinate_text.h"

namespace kavrel::console {

namespace {

// Runs are copied into a token of this size with its terminator.
constexpr std::size_t kTokenSize = 128;

bool IsLineEnd(char c) { return c == '\0' || c == '\r' || c == '\n'; }

// True when the run starting at `run` carries a minus sign: a "-" right
// before it that does not itself follow a digit or a full stop (there it is
// a dash between two numbers, 35.681236-139.767125).
bool IsNegative(const char* line, const char* run) {
  if (run == line || run[-1] != '-') return false;
  if (run - 1 == line) return true;
  const char before = run[-2];
  return !((before >= '0' && before <= '9') || before == '.');
}

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
    // A negative number is never a coordinate in Japan, whatever its digits.
    if (length >= kTokenSize || IsNegative(line, start)) continue;
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
