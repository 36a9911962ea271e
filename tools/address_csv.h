// Reading the address points of a UTF-8 CSV file, plain or gzip-compressed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel::pack {

// The fields of one data row that the package needs, as they stand in the
// file (surrounding blanks removed, quotes undone).
struct AddressRow {
  std::uint64_t line = 0;  // 1-based; the header is line 1
  std::string latitude;
  std::string longitude;
  std::string prefecture;
  std::string city;
  std::string area;
};

// Splits one CSV line into fields: commas separate, a field may be quoted
// with double quotes ("" inside stands for one quote), blanks around a field
// are dropped. False when a quote is not closed, or text follows a closing
// quote, on this line (quoted line breaks are not supported).
bool SplitCsvLine(std::string_view line, std::vector<std::string>& fields);

// The longest line the reader takes, in bytes without its line end: 1 MiB,
// far beyond any real row, so that reading holds at most this much and one
// read's worth of a line.
inline constexpr std::size_t kMaxCsvLineBytes = 1024 * 1024;

// Reads rows from a CSV file whose header line names the columns
// "latitude", "longitude", "prefecture", "city" and "area" once each, in any
// order (other columns are ignored). Whether the file is gzip-compressed is
// told by its content, not its name; several gzip members in a row are read
// as one, bytes after the last are an error. Lines may end in LF, CR LF or a
// lone CR; blank lines are skipped; a UTF-8 byte order mark before the header
// is dropped. Time is linear in the file's length. A line longer than
// kMaxCsvLineBytes is an error, found before more than that and one read
// are held.
// Every failure throws PackError naming the file and, where there is one,
// the line.
class AddressCsvReader {
public:
  // Opens `path` and reads its header. Throws PackError when the file is
  // missing, a folder or cannot be read, or a required column is missing or
  // named twice.
  explicit AddressCsvReader(const std::string& path);
  ~AddressCsvReader();
  AddressCsvReader(const AddressCsvReader&) = delete;
  AddressCsvReader& operator=(const AddressCsvReader&) = delete;

  // Reads the next data row into `row`; false at the end of the file. Throws
  // PackError for a damaged compressed stream, a line that is too long or
  // cannot be split,
  // or a row with fewer fields than the columns it needs.
  bool Next(AddressRow& row);

  const std::string& Path() const { return m_path; }

private:
  class LineSource;

  bool NextLine(std::string_view& line);
  [[noreturn]] void Fail(const std::string& what) const;

  std::string m_path;
  std::unique_ptr<LineSource> m_source;
  std::uint64_t m_line = 0;
  std::vector<std::string> m_fields;
  // Column positions of latitude, longitude, prefecture, city and area.
  std::size_t m_columns[5] = {};
  std::size_t m_neededFields = 0;
};

}  // namespace kavrel::pack
