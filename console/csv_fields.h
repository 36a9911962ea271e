// The fields of one CSV line: comma-separated, a field between double
// quotes may hold commas, and a doubled quote inside it is one quote.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel::console {

// `line` without its line end: the bytes before a final LF or CR LF.
std::string_view LineBody(std::string_view line);

// Reads the field of `body` that starts at `start` (at most body.size()) and
// returns the position after it: the comma that ends it, or body.size().
// When `text` is not null the field's text is appended to it: a field that
// starts with a double quote loses its enclosing quotes and has each doubled
// quote made single, the bytes after its closing quote up to the comma kept
// as they are; a quote never closed takes the rest of the body. A line is
// one CSV record: a quoted field cannot run on to the next line.
std::size_t ReadCsvField(std::string_view body, std::size_t start, std::string* text);

// Every field of `body` in order; an empty body is one empty field.
std::vector<std::string> CsvFields(std::string_view body);

// Replaces `first` and `second` with the texts of the fields of `body` at the
// 0-based indexes `firstIndex` and `secondIndex` (which may be equal). False
// when the body has fewer fields than either index needs. Fields after the
// later of the two are not read.
bool ReadTwoCsvFields(std::string_view body, std::size_t firstIndex, std::size_t secondIndex,
                      std::string& first, std::string& second);

}  // namespace kavrel::console
