// UTF-16 texts in the console's codeset, as fast as the designed record needs.
#pragma once

#include <string>
#include <string_view>

#include "kavrel/platform/text.h"

namespace kavrel::output {

// Converts UTF-16 texts to the console's codeset as platform's
// Utf16ToConsole does, byte for byte. Where that codeset is UTF-8 and the
// text holds no surrogate the conversion is done here by hand; other texts
// go through the converter. The codeset is the one in force at construction.
class ConsoleTextEncoder {
public:
  ConsoleTextEncoder();
  // Appends the console bytes of `text` to `bytes`.
  void Append(std::string& bytes, std::u16string_view text) const;
  // True when the console's codeset is UTF-8.
  bool IsUtf8() const { return m_utf8; }

private:
  bool m_utf8;
  platform::TextCodec m_codec;
};

}  // namespace kavrel::output
