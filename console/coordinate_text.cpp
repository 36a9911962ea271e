#include "coordinate_text.h"

#include <charconv>
#include <cstring>
#include <limits>

namespace kavrel::console {

namespace {

// A packed field must fit a 255-digit buffer with its terminator.
constexpr std::size_t kMaxFieldDigits = 255;

bool IsTextEnd(char c) { return c == '\0' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char* SkipDigits(const char* p) {
  while (IsDigit(*p)) ++p;
  return p;
}

// Reads the digits-and-point part [first, last) with from_chars, which knows
// no locale; a value beyond the double range becomes infinity or 0 as "%lf"
// would make it.
double ReadUnsigned(const char* first, const char* last, bool exponentNegative) {
  double value = 0.0;
  const std::from_chars_result result = std::from_chars(first, last, value);
  if (result.ec == std::errc::result_out_of_range) {
    return exponentNegative ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return value;
}

// Each reader leaves in `end` the position after the last byte it used
// (the start of the text when it could read nothing).
double ParseDecimal(const char* text, const char** end) {
  const char* p = text;
  *end = text;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  const char* first = p;
  const char* integerEnd = SkipDigits(p);
  bool haveDigit = integerEnd != p;
  p = integerEnd;
  if (*p == '.') {
    const char* fractionEnd = SkipDigits(p + 1);
    haveDigit = haveDigit || fractionEnd != p + 1;
    p = fractionEnd;
  }
  if (!haveDigit) return 0.0;
  bool exponentNegative = false;
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    if (*q == '+' || *q == '-') exponentNegative = *q++ == '-';
    // An exponent letter without digits is not part of the number.
    if (IsDigit(*q)) p = SkipDigits(q);
  }
  *end = p;
  const double value = ReadUnsigned(first, p, exponentNegative);
  return negative ? -value : value;
}

double ParsePacked(const char* text, const char** end) {
  const char* p = text;
  *end = text;
  double fields[4] = {0.0, 0.0, 0.0, 0.0};
  for (double& field : fields) {
    const char* digitsEnd = SkipDigits(p);
    if (digitsEnd == p) break;
    if (static_cast<std::size_t>(digitsEnd - p) > kMaxFieldDigits) {
      *end = text;
      return 0.0;
    }
    field = ReadUnsigned(p, digitsEnd, false);
    p = digitsEnd;
    while (*p == '.') ++p;
    *end = p;
  }
  const double d = fields[0], m = fields[1], s = fields[2], f = fields[3];
  // This order of the sums is the one whose results users have seen.
  return (m / 60.0 + d) + s / 60.0 / 60.0 + f / 60.0 / 60.0 / 100.0;
}

}  // namespace

double ParseCoordinateText(const char* text, const char** end) {
  int stops = 0;
  for (const char* p = text; !IsTextEnd(*p); ++p) {
    if (*p == '.') ++stops;
  }
  const char* unused = nullptr;
  if (end == nullptr) end = &unused;
  return stops >= 2 ? ParsePacked(text, end) : ParseDecimal(text, end);
}

bool ReadsWhole(const char* text) {
  const char* end = nullptr;
  ParseCoordinateText(text, &end);
  if (end == text) return false;
  if (*end != '\0' && std::strchr("NEWSnews", *end) != nullptr) ++end;  // a hemisphere letter
  return *end == '\0';
}

bool IsCoordinateText(const char* text) {
  bool digitBefore = false, pointSeen = false, digitAfter = false;
  for (const char* p = text; !IsTextEnd(*p); ++p) {
    if (IsDigit(*p)) {
      (pointSeen ? digitAfter : digitBefore) = true;
    } else if (*p == '.') {
      pointSeen = true;
    }
    if (digitBefore && pointSeen && digitAfter) return true;
  }
  return false;
}

bool IsCoordinateChar(char c) {
  return c != '\0' && std::strchr("0123456789.NEWSnews", c) != nullptr;
}

const char* CoordinateRunEnd(const char* p) {
  while (!IsTextEnd(*p) && IsCoordinateChar(*p)) ++p;
  return p;
}

}  // namespace kavrel::console
