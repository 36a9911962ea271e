// The output lines of a conversion: the designed record, the input line with
// the address appended as CSV columns (/keep), or a JSON object per line.
#pragma once

#include <string>
#include <string_view>

#include "kavrel/output/console_text_encoder.h"

namespace kavrel::output {

// How a conversion writes its lines.
enum class OutputFormat {
  kDesigned,  // "latitude,longitude,address" CR LF; other lines copied
  kKeep,      // each input line kept, the address fields appended as CSV columns
  kJson,      // one JSON object per line
};

// The coordinate pair read from an input line, in decimal degrees. 0.0 in
// either stands for "no pair in the line", as the designed scan reports it.
struct Coordinates {
  double latitude = 0.0;
  double longitude = 0.0;
  bool IsComplete() const { return latitude != 0.0 && longitude != 0.0; }
};

// The answer to one line's coordinate pair.
struct LineAnswer {
  bool found = false;
  std::string_view prefecture;  // UTF-8 names; empty when not found
  std::string_view city;
  std::string_view area;
  double distance = 0.0;  // metres from the pair to the point found
};

// Writes one output line per input line in the format the options chose.
class LineFormatter {
public:
  // `separator` joins the names of the designed record; `withDistance`
  // adds the distance (/dist). Texts in the console's codeset are made in
  // the codeset in force at construction.
  LineFormatter(OutputFormat format, std::u16string separator, bool withDistance);

  // Appends to `out` the output of input line `line` (as read, line end
  // included), whose scan found `pair`, answered by `answer` (unused when the
  // pair is not complete). `first` says whether it is the input's first line.
  //  - designed: "lat,lon,prefecture SEP city SEP area[,distance]\r\n" for a
  //    pair (the address empty without an answer), other lines copied as the
  //    designed conversion copies them;
  //  - keep: the line without its line end, ",prefecture,city,area[,distance]"
  //    in the console codeset with CSV quoting, then the line's own line end;
  //    empty fields without an answer, the column names after a first line
  //    without a pair that starts with a letter or a double quote;
  //  - json: one UTF-8 JSON object and "\n"; "error" without an answer.
  // An empty `line` (the read at the end of the input) gives nothing.
  void Append(std::string& out, std::string_view line, const Coordinates& pair,
              const LineAnswer& answer, bool first) const;

private:
  void AppendDesigned(std::string& out, std::string_view line, const Coordinates& pair,
                      const LineAnswer& answer) const;
  void AppendKept(std::string& out, std::string_view line, const Coordinates& pair,
                  const LineAnswer& answer, bool first) const;
  void AppendJson(std::string& out, const Coordinates& pair, const LineAnswer& answer) const;
  // Appends `name` (UTF-8) in the console codeset as one CSV field.
  void AppendCsvName(std::string& out, std::string_view name) const;
  // Appends the three names joined by the separator, in the console codeset.
  void AppendAddress(std::string& out, const LineAnswer& answer) const;

  OutputFormat m_format;
  std::u16string m_separator;
  std::string m_separatorBytes;  // the separator in the console codeset
  bool m_withDistance;
  ConsoleTextEncoder m_encoder;
};

// True when `body` (a line without its line end) starts like a row of
// column names: its first byte after blanks and tabs is an ASCII letter or a
// double quote. /keep names its columns after a first line without a pair
// that does.
bool LooksLikeHeader(std::string_view body);

// Appends "latitude,longitude,address" with "%f" numbers and the address in
// the console codeset, without a line end: the designed record.
void AppendRecordFields(std::string& bytes, double latitude, double longitude,
                        std::u16string_view address, const ConsoleTextEncoder& encoder);

// The three names of `answer` (UTF-8) joined by `separator`, as UTF-16,
// each control character of a name shown as '?' (VisibleName).
std::u16string JoinedAddress(const LineAnswer& answer, std::u16string_view separator);

// The bytes of a line that the designed conversion writes for a line without
// a coordinate pair: those before its first NUL, then its own line end (CR
// LF or LF) when the NUL cut that off. `lineEnd` receives that line end. The
// result points into `line`.
std::string_view CopiedLine(std::string_view line, std::string_view& lineEnd);

}  // namespace kavrel::output
