#include "address_keys.h"

#include <algorithm>
#include <cstdio>

#include "kavrel/platform/text.h"

namespace kavrel::pack {

bool EncodeName(std::string_view utf8, std::string& text, std::string& error) {
  if (utf8.empty()) {
    error = "is empty";
    return false;
  }
  // A control character would end up in a console's or terminal's output:
  // a CR or LF breaks the address line, an ESC steers the terminal.
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", byte);
      error = std::string("holds a control character (") + code + ")";
      return false;
    }
  }
  const std::u16string wide = platform::Utf8ToUtf16(utf8);
  if (wide.find(u'\uFFFD') != std::u16string::npos && utf8.find("\xEF\xBF\xBD") == std::string_view::npos) {
    error = "is not valid UTF-8";
    return false;
  }
  text = platform::Utf16ToCp932(wide);
  // The converter writes '?' for what it cannot hold. A '?' byte is never the
  // second byte of a double-byte character (those start at 0x40), so any '?'
  // more than the name itself had is a character that was lost.
  const auto asked = std::count(wide.begin(), wide.end(), u'?');
  const auto given = std::count(text.begin(), text.end(), '?');
  if (given != asked) {
    error = "holds a character that code page 932 cannot hold";
    return false;
  }
  if (text.size() > kMaxNameBytes) {
    error = "takes " + std::to_string(text.size()) + " bytes in code page 932, more than " +
            std::to_string(kMaxNameBytes);
    return false;
  }
  return true;
}

std::uint32_t KeyTable::Find(const std::string& identity) const {
  const auto found = m_keys.find(identity);
  return found == m_keys.end() ? 0 : found->second;
}

std::uint32_t KeyTable::Add(const std::string& identity, std::string text) {
  if (m_texts.size() >= m_maxKey) return 0;
  const auto key = static_cast<std::uint32_t>(m_texts.size() + 1);
  m_keys.emplace(identity, key);
  m_texts.push_back(std::move(text));
  return key;
}

}  // namespace kavrel::pack
