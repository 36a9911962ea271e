#include "address_csv.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "pack_error.h"

namespace kavrel::pack {

namespace {

constexpr const char* kColumnNames[5] = {"latitude", "longitude", "prefecture", "city", "area"};

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

bool SplitCsvLine(std::string_view line, std::vector<std::string>& fields) {
  fields.clear();
  std::size_t pos = 0;
  for (;;) {
    std::size_t start = pos;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
    if (start < line.size() && line[start] == '"') {
      std::string field;
      std::size_t i = start + 1;
      for (;;) {
        if (i >= line.size()) return false;  // the quote is never closed
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            field.push_back('"');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field.push_back(line[i++]);
      }
      const std::size_t comma = line.find(',', i);
      const std::string_view rest =
          line.substr(i, comma == std::string_view::npos ? std::string_view::npos : comma - i);
      if (!Trim(rest).empty()) return false;  // text after the closing quote
      fields.push_back(std::move(field));
      if (comma == std::string_view::npos) return true;
      pos = comma + 1;
    } else {
      const std::size_t comma = line.find(',', pos);
      const std::string_view raw =
          line.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
      fields.emplace_back(Trim(raw));
      if (comma == std::string_view::npos) return true;
      pos = comma + 1;
    }
  }
}

// Lines of a file read through zlib, which passes a file that is not gzip
// through unchanged: that is how compression is told by content.
class AddressCsvReader::LineSource {
public:
  explicit LineSource(const std::string& path) : m_file(gzopen(path.c_str(), "rb")) {
    if (m_file == nullptr) {
      throw PackError(path + ": " + (errno != 0 ? std::strerror(errno) : "cannot be opened"));
    }
    gzbuffer(m_file, 256 * 1024);
  }
  ~LineSource() { gzclose(m_file); }
  LineSource(const LineSource&) = delete;
  LineSource& operator=(const LineSource&) = delete;

  // The next line without its line end, or false at the end. On a read
  // error `error` is set and false returned.
  bool Next(std::string_view& line, std::string& error) {
    for (;;) {
      const std::size_t end = m_buffer.find('\n', m_pos);
      if (end != std::string::npos) {
        line = Cut(end, end + 1);
        return true;
      }
      if (m_eof) {
        if (m_pos >= m_buffer.size()) return false;
        line = Cut(m_buffer.size(), m_buffer.size());  // last line without a line end
        return true;
      }
      m_buffer.erase(0, m_pos);
      m_pos = 0;
      if (!Fill(error)) return false;
    }
  }

private:
  std::string_view Cut(std::size_t end, std::size_t next) {
    std::string_view line(m_buffer.data() + m_pos, end - m_pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    m_pos = next;
    return line;
  }

  bool Fill(std::string& error) {
    constexpr std::size_t kChunk = 64 * 1024;
    const std::size_t old = m_buffer.size();
    m_buffer.resize(old + kChunk);
    const int got = gzread(m_file, m_buffer.data() + old, kChunk);
    int code = Z_OK;
    const char* message = gzerror(m_file, &code);
    if (got < 0 || (code != Z_OK && code != Z_STREAM_END)) {
      m_buffer.resize(old);
      error = code == Z_ERRNO ? std::strerror(errno) : message;
      return false;
    }
    m_buffer.resize(old + static_cast<std::size_t>(got));
    if (got == 0) m_eof = true;
    return true;
  }

  gzFile m_file;
  std::string m_buffer;
  std::size_t m_pos = 0;
  bool m_eof = false;
};

AddressCsvReader::AddressCsvReader(const std::string& path) : m_path(path) {
  errno = 0;
  m_source = std::make_unique<LineSource>(path);
  std::string_view header;
  if (!NextLine(header)) throw PackError(m_path + ": empty file, no header line");
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (header.substr(0, kBom.size()) == kBom) header.remove_prefix(kBom.size());
  if (!SplitCsvLine(header, m_fields)) Fail("the header line has an unclosed quote");
  for (std::size_t c = 0; c < 5; ++c) {
    const auto found = std::find(m_fields.begin(), m_fields.end(), kColumnNames[c]);
    if (found == m_fields.end()) {
      Fail(std::string("the header names no \"") + kColumnNames[c] +
           "\" column (it needs latitude, longitude, prefecture, city and area)");
    }
    m_columns[c] = static_cast<std::size_t>(found - m_fields.begin());
    m_neededFields = std::max(m_neededFields, m_columns[c] + 1);
  }
}

AddressCsvReader::~AddressCsvReader() = default;

bool AddressCsvReader::Next(AddressRow& row) {
  std::string_view line;
  do {
    if (!NextLine(line)) return false;
  } while (Trim(line).empty());
  if (!SplitCsvLine(line, m_fields)) Fail("a quoted field is not closed properly");
  if (m_fields.size() < m_neededFields) {
    Fail("has " + std::to_string(m_fields.size()) + " fields, but the columns it needs reach field " +
         std::to_string(m_neededFields));
  }
  row.line = m_line;
  row.latitude = std::move(m_fields[m_columns[0]]);
  row.longitude = std::move(m_fields[m_columns[1]]);
  row.prefecture = std::move(m_fields[m_columns[2]]);
  row.city = std::move(m_fields[m_columns[3]]);
  row.area = std::move(m_fields[m_columns[4]]);
  return true;
}

bool AddressCsvReader::NextLine(std::string_view& line) {
  std::string error;
  if (m_source->Next(line, error)) {
    ++m_line;
    return true;
  }
  if (!error.empty()) {
    ++m_line;  // the line that could not be read
    Fail("cannot be read: " + error);
  }
  return false;
}

void AddressCsvReader::Fail(const std::string& what) const {
  throw PackError(m_path + ":" + std::to_string(m_line) + ": " + what);
}

}  // namespace kavrel::pack
