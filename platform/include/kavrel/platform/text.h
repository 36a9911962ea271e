// Text conversion between UTF-16 and the byte encodings the system meets:
// code page 932 (data package texts), UTF-8 (entry names, file paths) and the
// codeset of the user's locale (console arguments and output).
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace kavrel::platform {

// The encodings the system meets.
enum class Encoding {
  kCp932,    // code page 932 (Windows-31J): data package texts
  kUtf8,     // entry names, file paths
  kUtf16,    // UTF-16 as bytes in the native order (see Utf16Bytes)
  kConsole,  // the codeset of the user's locale, as ConsoleCodeset() names it
};

// A one-way converter between two encodings, kept open so that repeated
// conversions (one per looked-up name, one per batch line) do not reopen it.
// Converts whole strings; no fixed-size buffers. Not thread-safe: one owner.
class TextCodec {
public:
  // Throws std::runtime_error when the system cannot convert between them
  // (a console codeset it does not know).
  TextCodec(Encoding from, Encoding to);
  ~TextCodec();
  TextCodec(TextCodec&&) noexcept;
  TextCodec& operator=(TextCodec&&) noexcept;

  // Converts `input`. A byte sequence that is invalid in the source encoding
  // becomes `invalidInput` in the output (U+FFFD for UTF-16 targets); a
  // character that the target cannot hold becomes `unmappable` ("?").
  // Conversion never stops early.
  std::string Convert(std::string_view input) const;
  // Converts `input` as Convert does, for a kUtf16 target only, except that
  // each byte that begins no valid character of the source becomes the lone
  // low surrogate U+DC00 + byte (see ConsoleToUtf16KeepingBytes).
  std::string ConvertKeepingBytes(std::string_view input) const;

private:
  struct State;
  std::unique_ptr<State> m_state;
};

// Code page 932 (Windows-31J) bytes to UTF-16; invalid bytes give U+FFFD.
std::u16string Cp932ToUtf16(std::string_view bytes);
// UTF-16 to code page 932; characters it cannot hold become '?'.
std::string Utf16ToCp932(std::u16string_view text);

// UTF-8 bytes to UTF-16; invalid bytes give U+FFFD.
std::u16string Utf8ToUtf16(std::string_view bytes);
// UTF-16 to UTF-8; unpaired surrogates become '?'.
std::string Utf16ToUtf8(std::u16string_view text);
// Appends the UTF-8 form of `text` to `bytes` and returns true, without a
// converter; false, with `bytes` as it was, when `text` holds a surrogate,
// paired or not (then Utf16ToUtf8 must convert it).
bool AppendUtf8(std::string& bytes, std::u16string_view text);

// The iconv name of the console's codeset: the codeset of the LC_CTYPE locale
// set by the program (setlocale(LC_CTYPE, "")), or "UTF-8" where that is plain
// ASCII (the C and POSIX locales).
std::string ConsoleCodeset();
// True when the console's codeset is UTF-8.
bool ConsoleIsUtf8();
// Console bytes (arguments) to UTF-16, in ConsoleCodeset().
std::u16string ConsoleToUtf16(std::string_view bytes);
// UTF-16 to console bytes, in ConsoleCodeset(); unmappable characters give '?'.
std::string Utf16ToConsole(std::u16string_view text);

// Console bytes that may hold bytes invalid in the console's codeset (file
// names are bytes, whatever the locale says) to UTF-16: valid characters
// convert as ConsoleToUtf16 converts them; each byte that begins no valid
// character becomes the lone low surrogate U+DC00 + byte. The text goes back
// to the very same bytes with Utf16ToConsoleKeepingBytes.
std::u16string ConsoleToUtf16KeepingBytes(std::string_view bytes);
// UTF-16 to console bytes as Utf16ToConsole, except that each lone low
// surrogate U+DC00..U+DCFF becomes the byte it stands for.
std::string Utf16ToConsoleKeepingBytes(std::u16string_view text);
// The same pair for UTF-8 (file names handed over as UTF-8, which on POSIX
// may hold any bytes): Utf8ToUtf16KeepingBytes keeps each byte that begins
// no valid character as U+DC00 + byte, and Utf16ToUtf8KeepingBytes gives
// the very same bytes back.
std::u16string Utf8ToUtf16KeepingBytes(std::string_view bytes);
std::string Utf16ToUtf8KeepingBytes(std::u16string_view text);
// `text` with each byte kept by ConsoleToUtf16KeepingBytes (a lone low
// surrogate U+DC00..U+DCFF) replaced by U+FFFD, the replacement character:
// for texts that are not file names.
std::u16string ReplaceKeptBytes(std::u16string_view text);

// Bytes of a UTF-16 string in the native byte order, and back; used where
// iconv works on UTF-16 as bytes.
std::string Utf16Bytes(std::u16string_view text);
std::u16string Utf16FromBytes(std::string_view bytes);

}  // namespace kavrel::platform
