// Coordinate texts and batch lines: the fuzz input, NUL-terminated, goes
// through ParseCoordinateText, IsCoordinateText, CoordinateRunEnd and
// ScanCoordinatePair. Besides the sanitizers, each result is checked against a
// plain reference reading of the same rules (strtod for the decimal form,
// which agrees with "%lf" wherever no hexadecimal, infinity or not-a-number
// word can start the number).
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "coordinate_text.h"
#include "line_scan.h"

using namespace kavrel::console;

namespace {

bool IsEnd(char c) { return c == '\0' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void Mismatch(const char* what, const std::string& text, double expected, double got) {
  std::fprintf(stderr, "%s mismatch: expected %.17g, got %.17g for \"%s\"\n", what, expected, got, text.c_str());
  std::abort();
}

// The decimal reading by strtod, when it is comparable: nothing after the
// blanks and the sign may make strtod read hexadecimal or a word.
bool ReferenceDecimal(const char* text, double& value, bool& underflow) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  if (*p == '+' || *p == '-') ++p;
  if (!IsDigit(*p) && *p != '.') {
    value = 0.0;
    underflow = false;
    return true;  // no number at all; letters give 0.0 by the rules too
  }
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtod(text, &end);
  if (end == text) value = 0.0;
  underflow = errno == ERANGE && std::fabs(value) < DBL_MIN;
  return true;
}

// The packed reading: up to four digit fields separated by full stops.
// `tooLong` is set when a field has more than 255 digits (then 0.0 is read).
double ReferencePacked(const char* p, bool& tooLong) {
  double fields[4] = {0, 0, 0, 0};
  tooLong = false;
  for (double& field : fields) {
    const char* end = p;
    while (IsDigit(*end)) ++end;
    if (end == p) break;
    if (end - p > 255) {
      tooLong = true;
      return 0.0;
    }
    field = std::strtod(std::string(p, end).c_str(), nullptr);
    p = end;
    while (*p == '.') ++p;
  }
  return (fields[1] / 60.0 + fields[0]) + fields[2] / 60.0 / 60.0 + fields[3] / 60.0 / 60.0 / 100.0;
}

bool ReferenceIsCoordinateText(const char* p) {
  bool before = false, point = false, after = false;
  for (; !IsEnd(*p); ++p) {
    if (IsDigit(*p)) (point ? after : before) = true;
    else if (*p == '.') point = true;
    if (before && point && after) return true;
  }
  return false;
}

// A heap copy of exactly the text and its NUL, so that a read past the NUL
// is caught by AddressSanitizer.
std::unique_ptr<char[]> Exact(const std::string& text) {
  auto copy = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  return copy;
}

bool Same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

void CheckParse(const std::string& text) {
  const std::unique_ptr<char[]> copy = Exact(text);
  const char* p = copy.get();
  const double got = ParseCoordinateText(p);
  int stops = 0;
  for (const char* q = p; !IsEnd(*q); ++q) stops += *q == '.';
  if (stops >= 2) {
    bool tooLong = false;
    const double expected = ReferencePacked(p, tooLong);
    if (!Same(expected, got)) Mismatch("packed", text, expected, got);
  } else {
    double expected = 0.0;
    bool underflow = false;
    if (ReferenceDecimal(p, expected, underflow)) {
      if (!Same(expected, got) && !(underflow && got == 0.0)) Mismatch("decimal", text, expected, got);
    }
  }
  if (IsCoordinateText(p) != ReferenceIsCoordinateText(p)) Mismatch("IsCoordinateText", text, 0, 0);
}

void CheckRuns(const std::string& text) {
  const std::unique_ptr<char[]> copy = Exact(text);
  const char* p = copy.get();
  const char* const end = p + text.size();
  for (const char* start = p; start < end; ++start) {
    const char* stop = CoordinateRunEnd(start);
    if (stop < start || stop > end) std::abort();
    for (const char* q = start; q < stop; ++q) {
      if (IsEnd(*q) || !IsCoordinateChar(*q)) std::abort();
    }
    if (!IsEnd(*stop) && IsCoordinateChar(*stop)) std::abort();
  }
}

// The batch line scan by its rules, with the checked pieces.
CoordinatePair ReferenceScan(const char* p) {
  CoordinatePair pair;
  for (;;) {
    while (!IsEnd(*p) && !IsCoordinateChar(*p)) ++p;
    if (IsEnd(*p)) break;
    const char* end = p;
    while (!IsEnd(*end) && IsCoordinateChar(*end)) ++end;
    const std::string token(p, end);
    p = end;
    if (token.size() >= 128 || !IsCoordinateText(token.c_str())) continue;
    const double v = ParseCoordinateText(token.c_str());
    if (v >= kLatitudeMin && v < kLatitudeEnd) pair.latitude = v;
    else if (v >= kLongitudeMin && v < kLongitudeEnd) pair.longitude = v;
    else continue;
    if (pair.IsComplete()) break;
  }
  return pair;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The text is the input up to its first NUL; the copy ends in one.
  const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  CheckParse(text);
  CheckRuns(text);
  const CoordinatePair got = ScanCoordinatePair(Exact(text).get());
  const CoordinatePair expected = ReferenceScan(text.c_str());
  if (!Same(got.latitude, expected.latitude)) Mismatch("scan latitude", text, expected.latitude, got.latitude);
  if (!Same(got.longitude, expected.longitude)) Mismatch("scan longitude", text, expected.longitude, got.longitude);
  // Every coordinate-character run is also read on its own, as the batch does.
  for (const char* p = text.c_str(); *p != '\0';) {
    const char* end = CoordinateRunEnd(p);
    if (end == p) {
      ++p;
      continue;
    }
    CheckParse(std::string(p, end));
    p = end;
  }
  return 0;
}
