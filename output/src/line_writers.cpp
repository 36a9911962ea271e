#include "kavrel/output/line_writers.h"

#include "kavrel/output/csv.h"
#include "kavrel/output/json.h"
#include "kavrel/output/numbers.h"
#include "kavrel/output/visible_names.h"
#include "kavrel/platform/text.h"

namespace kavrel::output {

namespace {

// The line without its line end (LF, or CR LF), and that line end.
std::string_view WithoutLineEnd(std::string_view line, std::string_view& lineEnd) {
  std::size_t body = line.size();
  if (body > 0 && line[body - 1] == '\n') --body;
  if (body > 0 && body < line.size() && line[body - 1] == '\r') --body;
  lineEnd = line.substr(body);
  return line.substr(0, body);
}

}  // namespace

bool LooksLikeHeader(std::string_view body) {
  const std::size_t start = body.find_first_not_of(" \t");
  if (start == std::string_view::npos) return false;
  const char c = body[start];
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '"';
}

LineFormatter::LineFormatter(OutputFormat format, std::u16string separator, bool withDistance)
    : m_format(format), m_separator(std::move(separator)), m_withDistance(withDistance) {
  m_encoder.Append(m_separatorBytes, m_separator);
}

void LineFormatter::Append(std::string& out, std::string_view line, const Coordinates& pair,
                           const LineAnswer& answer, bool first) const {
  if (line.empty()) return;
  switch (m_format) {
    case OutputFormat::kDesigned: AppendDesigned(out, line, pair, answer); break;
    case OutputFormat::kKeep: AppendKept(out, line, pair, answer, first); break;
    case OutputFormat::kJson: AppendJson(out, pair, answer); break;
  }
}

void LineFormatter::AppendDesigned(std::string& out, std::string_view line,
                                   const Coordinates& pair, const LineAnswer& answer) const {
  if (!pair.IsComplete()) {
    std::string_view lineEnd;
    out += CopiedLine(line, lineEnd);
    out += lineEnd;
    return;
  }
  AppendRecordFields(out, pair.latitude, pair.longitude, {}, m_encoder);
  if (answer.found) AppendAddress(out, answer);
  if (m_withDistance) {
    out.push_back(',');
    if (answer.found) AppendMetres(out, answer.distance);
  }
  out += "\r\n";
}

void LineFormatter::AppendKept(std::string& out, std::string_view line, const Coordinates& pair,
                               const LineAnswer& answer, bool first) const {
  std::string_view lineEnd;
  const std::string_view body = WithoutLineEnd(line, lineEnd);
  out += body;
  if (!pair.IsComplete() && first && LooksLikeHeader(body)) {
    out += m_withDistance ? ",prefecture,city,area,distance_m" : ",prefecture,city,area";
  } else if (answer.found && pair.IsComplete()) {
    for (const std::string_view name : {answer.prefecture, answer.city, answer.area}) {
      out.push_back(',');
      AppendCsvName(out, name);
    }
    if (m_withDistance) {
      out.push_back(',');
      AppendMetres(out, answer.distance);
    }
  } else {
    out += m_withDistance ? ",,,," : ",,,";
  }
  out += lineEnd;
}

void LineFormatter::AppendJson(std::string& out, const Coordinates& pair,
                               const LineAnswer& answer) const {
  out.push_back('{');
  if (pair.IsComplete()) {
    out += "\"lat\":";
    AppendFixed6(out, pair.latitude);
    out += ",\"lon\":";
    AppendFixed6(out, pair.longitude);
    out.push_back(',');
  }
  if (!pair.IsComplete()) {
    out += "\"error\":\"no coordinate pair in the line\"";
  } else if (!answer.found) {
    out += "\"error\":\"no address found\"";
  } else {
    out += "\"prefecture\":";
    AppendJsonString(out, answer.prefecture);
    out += ",\"city\":";
    AppendJsonString(out, answer.city);
    out += ",\"area\":";
    AppendJsonString(out, answer.area);
    if (m_withDistance) {
      out += ",\"distance_m\":";
      AppendMetres(out, answer.distance);
    }
  }
  out += "}\n";
}

// The library's names are UTF-8 already: a UTF-8 console takes them as they
// are, which is what the conversion through UTF-16 would give, only faster
// and without a copy per line.
void LineFormatter::AppendCsvName(std::string& out, std::string_view name) const {
  if (m_encoder.IsUtf8()) {
    AppendCsvField(out, name);
    return;
  }
  std::string text;
  m_encoder.Append(text, platform::Utf8ToUtf16(name));
  AppendCsvField(out, text);
}

void LineFormatter::AppendAddress(std::string& out, const LineAnswer& answer) const {
  if (m_encoder.IsUtf8()) {
    AppendVisibleUtf8(out, answer.prefecture);
    out += m_separatorBytes;
    AppendVisibleUtf8(out, answer.city);
    out += m_separatorBytes;
    AppendVisibleUtf8(out, answer.area);
    return;
  }
  // Other codesets convert the address whole, as the designed record does
  // (a codeset with shift states would not give the same bytes in pieces).
  m_encoder.Append(out, JoinedAddress(answer, m_separator));
}

std::u16string JoinedAddress(const LineAnswer& answer, std::u16string_view separator) {
  std::u16string address = VisibleName(platform::Utf8ToUtf16(answer.prefecture));
  address += separator;
  address += VisibleName(platform::Utf8ToUtf16(answer.city));
  address += separator;
  address += VisibleName(platform::Utf8ToUtf16(answer.area));
  return address;
}

void AppendRecordFields(std::string& bytes, double latitude, double longitude,
                        std::u16string_view address, const ConsoleTextEncoder& encoder) {
  AppendFixed6(bytes, latitude);
  bytes.push_back(',');
  AppendFixed6(bytes, longitude);
  bytes.push_back(',');
  encoder.Append(bytes, address);
}

std::string_view CopiedLine(std::string_view line, std::string_view& lineEnd) {
  const std::size_t nul = line.find('\0');
  lineEnd = {};
  if (nul == std::string_view::npos) return line;
  if (line.size() >= 2 && line.substr(line.size() - 2) == "\r\n") {
    lineEnd = "\r\n";
  } else if (!line.empty() && line.back() == '\n') {
    lineEnd = "\n";
  }
  return line.substr(0, nul);
}

}  // namespace kavrel::output
