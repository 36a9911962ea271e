#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>

#include "kavrel/platform/text.h"
#include "utf16_units.h"

// Text conversion with MultiByteToWideChar and WideCharToMultiByte: code page
// 932 for package texts, UTF-8, and the system ANSI code page (GetACP) for
// the console. The results match the iconv codec of POSIX systems: invalid
// bytes give U+FFFD, characters the target cannot hold give '?', and
// conversion never stops early.
namespace kavrel::platform {

namespace {

// Stands for UTF-16 itself among the code pages (it is no code page that
// the two conversion functions take).
constexpr UINT kUtf16Page = 1200;

UINT CodePage(Encoding encoding) {
  switch (encoding) {
    case Encoding::kCp932: return 932;
    case Encoding::kUtf8: return CP_UTF8;
    case Encoding::kUtf16: return kUtf16Page;
    case Encoding::kConsole: return GetACP();
  }
  return CP_UTF8;
}

// The longest character of the multibyte code pages met here: four bytes in
// UTF-8, two in the double-byte code pages.
constexpr int kLongestCharacter = 4;

int ToInt(std::size_t size) { return static_cast<int>(std::min<std::size_t>(size, INT_MAX)); }

// The UTF-16 text of `bytes` when all of it is valid in `page`.
bool DecodeStrict(UINT page, std::string_view bytes, std::u16string& text) {
  const int length = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), ToInt(bytes.size()), nullptr, 0);
  if (length <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), ToInt(bytes.size()), wide.data(), length);
  text.append(wide.begin(), wide.end());
  return true;
}

// Decodes `bytes` in `page`. Each byte that begins no valid character
// becomes U+FFFD, or with `keepBytes` the lone low surrogate U+DC00 + byte.
std::u16string Decode(UINT page, std::string_view bytes, bool keepBytes) {
  std::u16string text;
  if (bytes.empty() || (bytes.size() <= INT_MAX && DecodeStrict(page, bytes, text))) return text;
  // Some byte is invalid: one character at a time, the shortest sequence
  // that converts on its own being the character.
  text.clear();
  std::size_t i = 0;
  while (i < bytes.size()) {
    bool decoded = false;
    for (std::size_t length = 1; length <= kLongestCharacter && i + length <= bytes.size(); ++length) {
      if (DecodeStrict(page, bytes.substr(i, length), text)) {
        i += length;
        decoded = true;
        break;
      }
    }
    if (decoded) continue;
    text.push_back(keepBytes ? static_cast<char16_t>(detail::kByteEscape + static_cast<unsigned char>(bytes[i]))
                             : u'\xFFFD');
    ++i;
  }
  return text;
}

// The bytes of `text` in `page` when every character has its own there:
// no substitution, no best-fit look-alike, no unpaired surrogate.
bool EncodeStrict(UINT page, std::u16string_view text, std::string& bytes) {
  const bool utf8 = page == CP_UTF8;
  // The double-byte code pages hold no character beyond the first plane, and
  // their conversion need not report a lone surrogate as substituted.
  const auto isSurrogate = [](char16_t c) { return detail::IsHighSurrogate(c) || detail::IsLowSurrogate(c); };
  if (!utf8 && std::any_of(text.begin(), text.end(), isSurrogate)) return false;
  const std::wstring wide(text.begin(), text.end());
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
  const int length = WideCharToMultiByte(page, flags, wide.data(), ToInt(wide.size()), nullptr, 0, nullptr,
                                         usedDefaultOut);
  if (length <= 0 || usedDefault) return false;
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(page, flags, wide.data(), ToInt(wide.size()), out.data(), length, nullptr, nullptr);
  bytes += out;
  return true;
}

// The characters that iconv's CP932 also writes, one way, as the code of a
// look-alike (the JIS forms of the yen sign, the wave dash and others): the
// look-alike code page 932 reads back from that code.
char16_t Cp932LookAlike(char16_t c) {
  switch (c) {
    case 0x00A5: return 0x005C;
    case 0x203E: return 0x007E;
    case 0x2014: return 0x2015;
    case 0x2016: return 0x2225;
    case 0x2212: return 0xFF0D;
    case 0x301C: return 0xFF5E;
    case 0x00A2: return 0xFFE0;
    case 0x00A3: return 0xFFE1;
    case 0x00AC: return 0xFFE2;
    default: return c;
  }
}

// Encodes `text` in `page`; each character the code page cannot hold, and
// each unpaired surrogate, becomes '?'.
std::string Encode(UINT page, std::u16string_view original) {
  std::u16string lookAlikes;
  if (page == 932) {
    lookAlikes.assign(original.begin(), original.end());
    std::transform(lookAlikes.begin(), lookAlikes.end(), lookAlikes.begin(), Cp932LookAlike);
  }
  const std::u16string_view text = page == 932 ? std::u16string_view(lookAlikes) : original;
  std::string bytes;
  if (text.empty() || (text.size() <= INT_MAX && EncodeStrict(page, text, bytes))) return bytes;
  bytes.clear();
  std::size_t i = 0;
  while (i < text.size()) {
    const bool pair = i + 1 < text.size() && detail::IsHighSurrogate(text[i]) && detail::IsLowSurrogate(text[i + 1]);
    const std::size_t length = pair ? 2 : 1;
    if (!EncodeStrict(page, text.substr(i, length), bytes)) bytes.push_back('?');
    i += length;
  }
  return bytes;
}

}  // namespace

struct TextCodec::State {
  UINT from = CP_UTF8;
  UINT to = CP_UTF8;
};

TextCodec::TextCodec(Encoding from, Encoding to) : m_state(std::make_unique<State>()) {
  m_state->from = CodePage(from);
  m_state->to = CodePage(to);
}

TextCodec::~TextCodec() = default;
TextCodec::TextCodec(TextCodec&&) noexcept = default;
TextCodec& TextCodec::operator=(TextCodec&&) noexcept = default;

std::string TextCodec::Convert(std::string_view input) const {
  const std::u16string text =
      m_state->from == kUtf16Page ? Utf16FromBytes(input) : Decode(m_state->from, input, false);
  return m_state->to == kUtf16Page ? Utf16Bytes(text) : Encode(m_state->to, text);
}

std::string TextCodec::ConvertKeepingBytes(std::string_view input) const {
  return Utf16Bytes(Decode(m_state->from, input, true));
}

std::string ConsoleCodeset() {
  const UINT page = GetACP();
  return page == CP_UTF8 ? "UTF-8" : "CP" + std::to_string(page);
}

}  // namespace kavrel::platform
