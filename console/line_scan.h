// Finds a latitude and a longitude among the tokens of one batch input line.
#pragma once

#include "kavrel/output/line_writers.h"

namespace kavrel::console {

// Accepted ranges in decimal degrees, lower bound included, upper excluded.
// They match the engine's area test, so a pair found here is never refused
// as lying outside the covered area.
inline constexpr double kLatitudeMin = 24.0;
inline constexpr double kLatitudeEnd = 46.0;
inline constexpr double kLongitudeMin = 122.0;
inline constexpr double kLongitudeEnd = 149.0;

// A latitude and a longitude; 0.0 stands for "not found".
using CoordinatePair = output::Coordinates;

// Scans the NUL-terminated `line` up to its first NUL, CR or LF for runs of
// coordinate characters. A run that passes IsCoordinateText is read with
// ParseCoordinateText; a value in the latitude range becomes the latitude,
// else one in the longitude range the longitude, a later one replacing an
// earlier. The scan ends as soon as both are set. Runs of 128 or more
// characters are skipped whole, and so is a run right after a minus sign
// (a "-" that does not follow a digit or a full stop). Bytes are taken one at a time, without
// regard to multibyte characters.
CoordinatePair ScanCoordinatePair(const char* line);

}  // namespace kavrel::console
