#include "kavrel/output/console_text_encoder.h"

namespace kavrel::output {

ConsoleTextEncoder::ConsoleTextEncoder()
    : m_utf8(platform::ConsoleIsUtf8()), m_codec(platform::Encoding::kUtf16, platform::Encoding::kConsole) {}

void ConsoleTextEncoder::Append(std::string& bytes, std::u16string_view text) const {
  // Surrogates, paired or not, keep the converter's own handling.
  if (m_utf8 && platform::AppendUtf8(bytes, text)) return;
  bytes += m_codec.Convert(platform::Utf16Bytes(text));
}

}  // namespace kavrel::output
