#include "batch_body.h"

#include <charconv>
#include <cmath>

namespace kavrel::serve {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A JSON-style number (a digit or '-' first: no "inf", "nan" or '+') filling
// `text`, finite, within [-limit, limit].
bool ReadCoordinate(std::string_view text, double limit, double& value) {
  if (text.empty() || !(text[0] == '-' || (text[0] >= '0' && text[0] <= '9'))) return false;
  const char* end = text.data() + text.size();
  const std::from_chars_result result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end && std::isfinite(value) && std::fabs(value) <= limit;
}

BodyResult Add(BatchPoints& points, std::size_t maxPoints, double latitude, double longitude, std::string& why) {
  if (points.latitudes.size() >= maxPoints) {
    why = "more than " + std::to_string(maxPoints) + " points";
    return BodyResult::kTooManyPoints;
  }
  points.latitudes.push_back(latitude);
  points.longitudes.push_back(longitude);
  return BodyResult::kRead;
}

BodyResult ReadCsv(std::string_view body, std::size_t maxPoints, BatchPoints& points, std::string& why) {
  std::size_t lineNumber = 0;
  while (!body.empty()) {
    const std::size_t end = body.find('\n');
    const std::string_view line = Trimmed(body.substr(0, end));
    body.remove_prefix(end == std::string_view::npos ? body.size() : end + 1);
    ++lineNumber;
    if (line.empty()) continue;
    const std::size_t comma = line.find(',');
    double latitude = 0, longitude = 0;
    const bool read = comma != std::string_view::npos &&
                      ReadCoordinate(Trimmed(line.substr(0, comma)), 90.0, latitude) &&
                      ReadCoordinate(Trimmed(line.substr(comma + 1)), 180.0, longitude);
    if (!read) {
      // Column names, not numbers out of range or misspelt.
      const bool header = lineNumber == 1 && comma != std::string_view::npos &&
                          line.find(',', comma + 1) == std::string_view::npos &&
                          std::string_view("+-.0123456789").find(line[0]) == std::string_view::npos;
      if (header) continue;
      why = "line " + std::to_string(lineNumber) + ": not \"lat,lon\" with -90 <= lat <= 90, -180 <= lon <= 180";
      return BodyResult::kMalformed;
    }
    if (const BodyResult added = Add(points, maxPoints, latitude, longitude, why); added != BodyResult::kRead) {
      return added;
    }
  }
  return BodyResult::kRead;
}

// A small reader of the one JSON shape taken: [[lat, lon], ...].
class JsonPairs {
public:
  explicit JsonPairs(std::string_view body) : m_body(body) {}

  BodyResult Read(std::size_t maxPoints, BatchPoints& points, std::string& why) {
    if (!Take('[')) return Malformed("'[' expected", why);
    if (Take(']')) return AtEnd(why);
    do {
      double latitude = 0, longitude = 0;
      if (!Take('[')) return Malformed("'[' of a pair expected", why);
      if (!Number(90.0, latitude)) return Malformed("a latitude from -90 to 90 expected", why);
      if (!Take(',')) return Malformed("',' expected", why);
      if (!Number(180.0, longitude)) return Malformed("a longitude from -180 to 180 expected", why);
      if (!Take(']')) return Malformed("']' of a pair expected", why);
      if (const BodyResult added = Add(points, maxPoints, latitude, longitude, why); added != BodyResult::kRead) {
        return added;
      }
    } while (Take(','));
    if (!Take(']')) return Malformed("',' or ']' expected", why);
    return AtEnd(why);
  }

private:
  void SkipBlanks() {
    while (m_at < m_body.size() && IsBlank(m_body[m_at])) ++m_at;
  }
  bool Take(char c) {
    SkipBlanks();
    if (m_at >= m_body.size() || m_body[m_at] != c) return false;
    ++m_at;
    return true;
  }
  bool Number(double limit, double& value) {
    SkipBlanks();
    const std::size_t start = m_at;
    while (m_at < m_body.size() && std::string_view("+-.0123456789eE").find(m_body[m_at]) != std::string_view::npos) {
      ++m_at;
    }
    return ReadCoordinate(m_body.substr(start, m_at - start), limit, value);
  }
  BodyResult AtEnd(std::string& why) {
    SkipBlanks();
    return m_at == m_body.size() ? BodyResult::kRead : Malformed("nothing expected after the array", why);
  }
  BodyResult Malformed(const char* what, std::string& why) const {
    why = "offset " + std::to_string(m_at) + ": " + what;
    return BodyResult::kMalformed;
  }

  std::string_view m_body;
  std::size_t m_at = 0;
};

}  // namespace

BodyResult ReadBatchBody(std::string_view body, std::size_t maxPoints, BatchPoints& points, std::string& why) {
  const std::size_t first = body.find_first_not_of(" \t\r\n");
  if (first != std::string_view::npos && body[first] == '[') return JsonPairs(body).Read(maxPoints, points, why);
  return ReadCsv(body, maxPoints, points, why);
}

}  // namespace kavrel::serve
