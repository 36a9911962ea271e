#include "address_csv.h"

#include <zlib.h>

#include <algorithm>

#include "pack_error.h"
#include "package_file.h"

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

namespace {

// The bytes of a file, inflated when it starts with the gzip magic: that is
// how compression is told by content. Several gzip members in a row are one
// stream; anything else after the last member is an error.
class ContentSource {
public:
  explicit ContentSource(const std::string& path) : m_file(path) {
    m_in.resize(kChunk);
    m_inEnd = m_file.Read(m_in.data(), kChunk);
    m_gzip = m_inEnd >= 2 && m_in[0] == '\x1F' && m_in[1] == '\x8B';
    if (m_gzip && inflateInit2(&m_z, 15 + 16) != Z_OK) throw PackError(path + ": zlib cannot start");
  }
  ~ContentSource() {
    if (m_gzip) inflateEnd(&m_z);
  }
  ContentSource(const ContentSource&) = delete;
  ContentSource& operator=(const ContentSource&) = delete;

  // Appends more content to `out`; false at the end. On damaged gzip data
  // `error` is set and false returned.
  bool Append(std::string& out, std::string& error) {
    if (!m_gzip) {
      if (m_inPos == m_inEnd) Refill();
      if (m_inPos == m_inEnd) return false;
      out.append(m_in.data() + m_inPos, m_inEnd - m_inPos);
      m_inPos = m_inEnd;
      return true;
    }
    const std::size_t old = out.size();
    out.resize(old + kChunk);
    m_z.next_out = reinterpret_cast<Bytef*>(out.data() + old);
    m_z.avail_out = static_cast<uInt>(kChunk);
    while (m_z.avail_out == kChunk) {
      if (m_inPos == m_inEnd) Refill();
      if (m_memberEnded) {
        if (m_inPos == m_inEnd) break;
        // Another member may follow; its header starts with the magic too.
        if (m_inEnd - m_inPos < 2) Refill();
        if (m_inEnd - m_inPos < 2 || m_in[m_inPos] != '\x1F' || m_in[m_inPos + 1] != '\x8B') {
          error = "bytes follow the end of the gzip data";
          break;
        }
        inflateReset(&m_z);
        m_memberEnded = false;
      }
      m_z.next_in = reinterpret_cast<Bytef*>(m_in.data() + m_inPos);
      m_z.avail_in = static_cast<uInt>(m_inEnd - m_inPos);
      const int result = inflate(&m_z, Z_NO_FLUSH);
      m_inPos = m_inEnd - m_z.avail_in;
      if (result == Z_STREAM_END) {
        m_memberEnded = true;
      } else if (result == Z_BUF_ERROR && m_inPos == m_inEnd && m_fileEnded) {
        error = "the gzip data ends before its end";
        break;
      } else if (result != Z_OK && result != Z_BUF_ERROR) {
        error = std::string("damaged gzip data (") + (m_z.msg != nullptr ? m_z.msg : "zlib error") + ")";
        break;
      }
    }
    out.resize(old + kChunk - m_z.avail_out);
    return error.empty() && out.size() > old;
  }

private:
  static constexpr std::size_t kChunk = 256 * 1024;

  // Keeps the unread input and reads more behind it.
  void Refill() {
    if (m_fileEnded) return;
    m_in.erase(0, m_inPos);
    m_inEnd -= m_inPos;
    m_inPos = 0;
    m_in.resize(m_inEnd + kChunk);
    const std::size_t got = m_file.Read(m_in.data() + m_inEnd, kChunk);
    m_inEnd += got;
    m_fileEnded = got == 0;
  }

  InputFile m_file;
  std::string m_in;  // raw bytes; [m_inPos, m_inEnd) unread
  std::size_t m_inPos = 0;
  std::size_t m_inEnd = 0;
  bool m_fileEnded = false;
  bool m_gzip = false;
  bool m_memberEnded = false;
  z_stream m_z{};
};

}  // namespace

// Lines of the content. A line ends in LF, CR LF or a lone CR. Each byte is
// looked at once, however long the line.
class AddressCsvReader::LineSource {
public:
  explicit LineSource(const std::string& path) : m_content(path) {}

  // The next line without its line end, or false at the end. On a read
  // error `error` is set and false returned.
  bool Next(std::string_view& line, std::string& error) {
    for (;;) {
      const std::size_t end = m_buffer.find_first_of("\r\n", m_scan);
      // A CR at the end of what is read may be the first half of CR LF.
      const bool complete =
          end != std::string::npos && (m_buffer[end] == '\n' || end + 1 < m_buffer.size() || m_ended);
      // The line runs from its start to its end, or to the end of what is
      // read of it so far.
      if ((end != std::string::npos ? end : m_buffer.size()) - m_pos > kMaxCsvLineBytes) {
        error = "the line is longer than " + std::to_string(kMaxCsvLineBytes) + " bytes, which no row is";
        return false;
      }
      if (complete) {
        const bool crlf = m_buffer[end] == '\r' && end + 1 < m_buffer.size() && m_buffer[end + 1] == '\n';
        line = std::string_view(m_buffer.data() + m_pos, end - m_pos);
        m_pos = m_scan = end + (crlf ? 2 : 1);
        return true;
      }
      if (m_ended) {
        if (m_pos >= m_buffer.size()) return false;
        line = std::string_view(m_buffer.data() + m_pos, m_buffer.size() - m_pos);  // no line end
        m_pos = m_scan = m_buffer.size();
        return true;
      }
      m_scan = end != std::string::npos ? end : m_buffer.size();
      m_buffer.erase(0, m_pos);
      m_scan -= m_pos;
      m_pos = 0;
      if (!m_content.Append(m_buffer, error)) {
        if (!error.empty()) return false;
        m_ended = true;
      }
    }
  }

private:
  ContentSource m_content;
  std::string m_buffer;
  std::size_t m_pos = 0;   // start of the next line
  std::size_t m_scan = 0;  // where the search for its end goes on
  bool m_ended = false;
};

AddressCsvReader::AddressCsvReader(const std::string& path) : m_path(path) {
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
    if (std::find(found + 1, m_fields.end(), kColumnNames[c]) != m_fields.end()) {
      Fail(std::string("the header names the \"") + kColumnNames[c] + "\" column twice");
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
