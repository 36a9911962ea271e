#include "kavrel/output/console_text_encoder.h"

namespace kavrel::output {

namespace {

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

ConsoleTextEncoder::ConsoleTextEncoder()
    : m_utf8(platform::ConsoleIsUtf8()), m_codec(platform::Encoding::kUtf16, platform::Encoding::kConsole) {}

void ConsoleTextEncoder::Append(std::string& bytes, std::u16string_view text) const {
  // Surrogates, paired or not, keep the converter's own handling.
  if (m_utf8 && AppendUtf8(bytes, text)) return;
  bytes += m_codec.Convert(platform::Utf16Bytes(text));
}

}  // namespace kavrel::output
