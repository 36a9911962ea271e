#include "coordinate_text.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

namespace kavrel::console {

namespace {

// A packed field must fit a 255-digit buffer with its terminator.
constexpr std::size_t kMaxFieldDigits = 255;

bool IsTextEnd(char c) { return c == '\0' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsSouthOrWest(char c) { return c == 'S' || c == 's' || c == 'W' || c == 'w'; }

const char* SkipDigits(const char* p) {
  while (IsDigit(*p)) ++p;
  return p;
}

// Exact powers of ten as doubles: 10^0 to 10^22.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Reads digits with at most one point, [first, last), when that can be done
// exactly the short way: with at most 15 digits the digits form an integer
// that a double holds exactly, and so does 10^k for the k digits after the
// point, so their quotient is the correctly rounded value, the very double
// from_chars gives. False for anything else (an exponent, more digits).
bool ReadShortDecimal(const char* first, const char* last, double& value) {
  std::uint64_t mantissa = 0;
  int digits = 0;
  int fractionDigits = -1;  // -1 until the point
  for (const char* p = first; p != last; ++p) {
    if (*p == '.' && fractionDigits < 0) {
      fractionDigits = 0;
      continue;
    }
    if (!IsDigit(*p) || ++digits > 15) return false;
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
    if (fractionDigits >= 0) ++fractionDigits;
  }
  value = static_cast<double>(mantissa) / kPowersOfTen[fractionDigits < 0 ? 0 : fractionDigits];
  return true;
}

// Reads the digits-and-point part [first, last) with from_chars, which knows
// no locale; a value beyond the double range becomes infinity or 0 as "%lf"
// would make it.
double ReadUnsigned(const char* first, const char* last, bool exponentNegative) {
  double value = 0.0;
  if (ReadShortDecimal(first, last, value)) return value;
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
  const double value = stops >= 2 ? ParsePacked(text, end) : ParseDecimal(text, end);
  // South of the equator or west of Greenwich is never Japan; taking the
  // digits alone would answer a place on the other side of the earth.
  return *end != text && IsSouthOrWest(**end) ? 0.0 : value;
}

bool NamesSouthOrWest(const char* text) {
  const char* end = nullptr;
  ParseCoordinateText(text, &end);
  return end != text && IsSouthOrWest(*end);
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

namespace {

// Membership of each byte value in "0123456789.NEWSnews", looked up per byte
// of every line.
struct CoordinateCharTable {
  bool member[256] = {};
  constexpr CoordinateCharTable() {
    for (const char c : std::string_view("0123456789.NEWSnews")) member[static_cast<unsigned char>(c)] = true;
  }
};
constexpr CoordinateCharTable kCoordinateChars;

}  // namespace

bool IsCoordinateChar(char c) { return kCoordinateChars.member[static_cast<unsigned char>(c)]; }

const char* CoordinateRunEnd(const char* p) {
  while (!IsTextEnd(*p) && IsCoordinateChar(*p)) ++p;
  return p;
}

}  // namespace kavrel::console
