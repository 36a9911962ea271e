#include "kavrel/platform/text.h"

#include "utf16_units.h"

// The conversions that are the same on every system, over TextCodec.
namespace kavrel::platform {

using detail::AppendUtf16Bytes;
using detail::kByteEscape;

namespace {

// True when text[i] is a kept byte: in U+DC00..U+DCFF and not the second
// half of a surrogate pair.
bool IsKeptByte(std::u16string_view text, std::size_t i) {
  return text[i] >= kByteEscape && text[i] <= kByteEscape + 0xFF &&
         (i == 0 || !detail::IsHighSurrogate(text[i - 1]));
}

}  // namespace

std::string Utf16Bytes(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) AppendUtf16Bytes(bytes, c);
  return bytes;
}

std::u16string Utf16FromBytes(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  return text;
}

std::u16string Cp932ToUtf16(std::string_view bytes) {
  return Utf16FromBytes(TextCodec(Encoding::kCp932, Encoding::kUtf16).Convert(bytes));
}

std::string Utf16ToCp932(std::u16string_view text) {
  return TextCodec(Encoding::kUtf16, Encoding::kCp932).Convert(Utf16Bytes(text));
}

std::u16string Utf8ToUtf16(std::string_view bytes) {
  return Utf16FromBytes(TextCodec(Encoding::kUtf8, Encoding::kUtf16).Convert(bytes));
}

bool AppendUtf8(std::string& bytes, std::u16string_view text) {
  const std::size_t start = bytes.size();
  bytes.resize(start + text.size() * 3);  // at most three bytes per unit
  char* out = bytes.data() + start;
  for (const char16_t c : text) {
    if (detail::IsHighSurrogate(c) || detail::IsLowSurrogate(c)) {
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

std::string Utf16ToUtf8(std::u16string_view text) {
  return TextCodec(Encoding::kUtf16, Encoding::kUtf8).Convert(Utf16Bytes(text));
}

bool ConsoleIsUtf8() { return ConsoleCodeset() == "UTF-8"; }

std::u16string ConsoleToUtf16(std::string_view bytes) {
  return Utf16FromBytes(TextCodec(Encoding::kConsole, Encoding::kUtf16).Convert(bytes));
}

std::string Utf16ToConsole(std::u16string_view text) {
  return TextCodec(Encoding::kUtf16, Encoding::kConsole).Convert(Utf16Bytes(text));
}

std::u16string ConsoleToUtf16KeepingBytes(std::string_view bytes) {
  return Utf16FromBytes(TextCodec(Encoding::kConsole, Encoding::kUtf16).ConvertKeepingBytes(bytes));
}

namespace {

// `text` in `to`, each kept byte (see IsKeptByte) written back as itself.
std::string FromUtf16KeepingBytes(std::u16string_view text, Encoding to) {
  const TextCodec codec(Encoding::kUtf16, to);
  std::string bytes;
  std::size_t runStart = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const bool escape = i < text.size() && IsKeptByte(text, i);
    if (i < text.size() && !escape) continue;
    bytes += codec.Convert(Utf16Bytes(text.substr(runStart, i - runStart)));
    if (escape) bytes.push_back(static_cast<char>(text[i] - kByteEscape));
    runStart = i + 1;
  }
  return bytes;
}

}  // namespace

std::string Utf16ToConsoleKeepingBytes(std::u16string_view text) {
  return FromUtf16KeepingBytes(text, Encoding::kConsole);
}

std::u16string Utf8ToUtf16KeepingBytes(std::string_view bytes) {
  return Utf16FromBytes(TextCodec(Encoding::kUtf8, Encoding::kUtf16).ConvertKeepingBytes(bytes));
}

std::string Utf16ToUtf8KeepingBytes(std::u16string_view text) {
  return FromUtf16KeepingBytes(text, Encoding::kUtf8);
}

std::u16string ReplaceKeptBytes(std::u16string_view text) {
  std::u16string replaced(text);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsKeptByte(text, i)) replaced[i] = 0xFFFD;
  }
  return replaced;
}

}  // namespace kavrel::platform
