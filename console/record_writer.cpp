#include "record_writer.h"

#include <charconv>

namespace kavrel::console {

namespace {

constexpr std::size_t kFlushSize = 1 << 20;

bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Appends the UTF-8 form of `text` and returns true; false, with `bytes`
// as it was, when `text` holds a surrogate, paired or not.
bool AppendUtf8(std::string& bytes, std::u16string_view text) {
  const std::size_t start = bytes.size();
  bytes.resize(start + text.size() * 3);  // at most three bytes per unit
  char* out = bytes.data() + start;
  for (const char16_t c : text) {
    if (IsSurrogate(c)) {
      bytes.resize(start);
      return false;
    }
    if (c < 0x80) {
      *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *out++ = static_cast<char>(0xC0 | (c >> 6));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *out++ = static_cast<char>(0xE0 | (c >> 12));
      *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  bytes.resize(static_cast<std::size_t>(out - bytes.data()));
  return true;
}

}  // namespace

void AppendFixed6(std::string& bytes, double value) {
  char digits[400];  // the largest double has 309 digits before the point
  const std::to_chars_result result =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 6);
  bytes.append(digits, result.ptr);
}

ConsoleTextEncoder::ConsoleTextEncoder()
    : m_utf8(platform::ConsoleIsUtf8()), m_codec(platform::Encoding::kUtf16, platform::Encoding::kConsole) {}

void ConsoleTextEncoder::Append(std::string& bytes, std::u16string_view text) const {
  // Surrogates, paired or not, keep the converter's own handling.
  if (m_utf8 && AppendUtf8(bytes, text)) return;
  bytes += m_codec.Convert(platform::Utf16Bytes(text));
}

RecordWriter::RecordWriter(std::FILE* file) : m_file(file) { m_buffer.reserve(kFlushSize + 4096); }

void AppendRecordFields(std::string& bytes, double latitude, double longitude,
                        std::u16string_view address, const ConsoleTextEncoder& encoder) {
  AppendFixed6(bytes, latitude);
  bytes.push_back(',');
  AppendFixed6(bytes, longitude);
  bytes.push_back(',');
  encoder.Append(bytes, address);
}

bool RecordWriter::WriteRecord(double latitude, double longitude, std::u16string_view address) {
  AppendRecordFields(m_buffer, latitude, longitude, address, m_encoder);
  m_buffer += "\r\n";
  return FlushWhenFull();
}

bool RecordWriter::WriteBytes(std::string_view bytes) {
  m_buffer += bytes;
  return FlushWhenFull();
}

bool RecordWriter::FlushWhenFull() { return m_buffer.size() < kFlushSize || Flush(); }

bool RecordWriter::Flush() {
  const bool written = std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) == m_buffer.size();
  m_buffer.clear();
  return written;
}

}  // namespace kavrel::console
