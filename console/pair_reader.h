// How a conversion finds the coordinate pair of an input line: the designed
// scan over the whole line, or two CSV fields chosen by /cols.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "line_scan.h"

namespace kavrel::console {

// What /cols names, as typed (console codeset bytes): for each coordinate a
// header name or a 1-based field number (digits only).
struct ColumnChoice {
  std::string latitude;
  std::string longitude;
  bool Given() const { return !latitude.empty(); }
};

// Reads the value of /cols, "LAT,LON": two parts, neither empty, split at
// the one comma; a part of digits only is a field number and must not be 0.
// False for anything else, leaving `choice` unchanged.
bool ParseColumnChoice(std::string_view text, ColumnChoice& choice);

// The 0-based indexes of the latitude's and the longitude's fields.
struct ColumnIndexes {
  std::size_t latitude = 0;
  std::size_t longitude = 0;
};

// Finds the fields `choice` names in the input's first line `firstLine` (as
// read, line end included): a number N is field N - 1, which the first line
// must have; a name is the first field of the line equal to it, byte for
// byte, after the quotes of a quoted field are removed (a UTF-8 byte order
// mark before the first field is not part of it). Nothing when a part does
// not fit, with `why` saying which and why as one line.
std::optional<ColumnIndexes> ResolveColumns(const ColumnChoice& choice, std::string_view firstLine,
                                            std::string& why);

// Finds the pair of a line. Holds nothing that changes after construction, so
// one reader may serve any number of threads at once.
class PairReader {
public:
  // The designed scan (ScanCoordinatePair).
  PairReader() = default;
  // The pair from the two fields `columns` (see Read).
  explicit PairReader(ColumnIndexes columns) : m_columns(columns) {}

  bool UsesColumns() const { return m_columns.has_value(); }

  // The pair of `line` (as read, line end included; when it does not end in
  // a line feed, the byte after it must be a NUL, as after a std::string's
  // bytes, for the designed scan reads up to one or the other). With columns: the two
  // fields, blanks around them ignored, must each read whole as a coordinate
  // (ReadsWhole) and lie in their own designed range (the latitude field in
  // the latitude range, the longitude field in the longitude range); nothing
  // else in the line is looked at. Otherwise, or when the line has too few
  // fields, no pair (both 0.0).
  CoordinatePair Read(std::string_view line) const;

  // True when the first line `line` is a header: with columns, when neither
  // chosen field reads as a number; with the designed scan, never.
  bool IsHeader(std::string_view line) const;

private:
  std::optional<ColumnIndexes> m_columns;
};

}  // namespace kavrel::console
