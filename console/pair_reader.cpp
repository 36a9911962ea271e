#include "pair_reader.h"

#include <algorithm>
#include <vector>

#include "coordinate_text.h"
#include "csv_fields.h"
#include "failure_report.h"

namespace kavrel::console {

namespace {

// Longer texts cannot be a coordinate (a packed field stops at 255 digits).
constexpr std::size_t kMaxNumberBytes = 255;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// `text` without the blanks and tabs around it.
std::string_view Trimmed(std::string_view text) {
  const std::size_t start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return {};
  return text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

// The degrees of a field that reads whole as a coordinate; nothing otherwise.
std::optional<double> FieldDegrees(const std::string& field) {
  const std::string text(Trimmed(field));
  if (text.empty() || text.size() > kMaxNumberBytes || !ReadsWhole(text.c_str())) return std::nullopt;
  return ParseCoordinateText(text.c_str());
}

// The index of the field `part` names in `fields`, or nothing with `why`.
std::optional<std::size_t> FindColumn(const std::string& part, const std::vector<std::string>& fields,
                                      const char* role, std::string& why) {
  if (IsDigits(part)) {
    // ParseColumnChoice refused 0 and the digits are few: no overflow here
    // that could turn a huge number into a small index.
    const std::size_t number = part.size() > 9 ? fields.size() + 1 : std::stoul(part);
    if (number >= 1 && number <= fields.size()) return number - 1;
    why = "/cols: the " + std::string(role) + " field number " + part + " is beyond the " +
          std::to_string(fields.size()) + " field(s) of the input's first line";
    return std::nullopt;
  }
  const auto found = std::find(fields.begin(), fields.end(), part);
  if (found != fields.end()) return static_cast<std::size_t>(found - fields.begin());
  why = "/cols: the " + std::string(role) + " column " + Quoted(part) +
        " is not a name in the input's first line";
  return std::nullopt;
}

}  // namespace

bool ParseColumnChoice(std::string_view text, ColumnChoice& choice) {
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos || text.find(',', comma + 1) != std::string_view::npos) return false;
  const std::string_view latitude = text.substr(0, comma);
  const std::string_view longitude = text.substr(comma + 1);
  for (const std::string_view part : {latitude, longitude}) {
    if (part.empty()) return false;
    if (IsDigits(part) && part.find_first_not_of('0') == std::string_view::npos) return false;
  }
  choice.latitude = latitude;
  choice.longitude = longitude;
  return true;
}

std::optional<ColumnIndexes> ResolveColumns(const ColumnChoice& choice, std::string_view firstLine,
                                            std::string& why) {
  std::string_view body = LineBody(firstLine);
  if (body.substr(0, kByteOrderMark.size()) == kByteOrderMark) body.remove_prefix(kByteOrderMark.size());
  const std::vector<std::string> fields = CsvFields(body);
  const std::optional<std::size_t> latitude = FindColumn(choice.latitude, fields, "latitude", why);
  if (!latitude) return std::nullopt;
  const std::optional<std::size_t> longitude = FindColumn(choice.longitude, fields, "longitude", why);
  if (!longitude) return std::nullopt;
  return ColumnIndexes{*latitude, *longitude};
}

CoordinatePair PairReader::Read(std::string_view line) const {
  if (!m_columns) return ScanCoordinatePair(line.data());
  std::string latitudeField;
  std::string longitudeField;
  if (!ReadTwoCsvFields(LineBody(line), m_columns->latitude, m_columns->longitude, latitudeField,
                        longitudeField)) {
    return {};
  }
  const std::optional<double> latitude = FieldDegrees(latitudeField);
  const std::optional<double> longitude = FieldDegrees(longitudeField);
  if (!latitude || !longitude || !(*latitude >= kLatitudeMin && *latitude < kLatitudeEnd) ||
      !(*longitude >= kLongitudeMin && *longitude < kLongitudeEnd)) {
    return {};
  }
  return {*latitude, *longitude};
}

bool PairReader::IsHeader(std::string_view line) const {
  if (!m_columns) return false;
  std::string latitudeField;
  std::string longitudeField;
  ReadTwoCsvFields(LineBody(line), m_columns->latitude, m_columns->longitude, latitudeField, longitudeField);
  return !FieldDegrees(latitudeField) && !FieldDegrees(longitudeField);
}

}  // namespace kavrel::console
