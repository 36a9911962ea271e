// The output side of a batch conversion: lines gathered in a large buffer
// and written to the file in big pieces, numbers and addresses formatted
// without a detour through stdio or a per-line text converter.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "kavrel/platform/text.h"

namespace kavrel::console {

// Appends `value` as "%f" prints it: fixed notation, six digits after the
// decimal point, rounded to nearest with ties to even on the exact binary
// value (so the digits are those of "%f" for every double).
void AppendFixed6(std::string& bytes, double value);

// Converts UTF-16 texts to the console's codeset as Utf16ToConsole does,
// byte for byte. Where that codeset is UTF-8 and the text holds no surrogate
// the conversion is done here by hand; other texts go through the converter.
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

// Appends "latitude,longitude,address" with "%f" numbers and the address in
// the console codeset, without a line end.
void AppendRecordFields(std::string& bytes, double latitude, double longitude,
                        std::u16string_view address, const ConsoleTextEncoder& encoder);

// Buffers the lines of a conversion and writes them to `file` (not owned) in
// pieces of about a megabyte. Write errors show at the next Flush.
class RecordWriter {
public:
  explicit RecordWriter(std::FILE* file);

  // Appends "latitude,longitude,address\r\n" with "%f" numbers.
  bool WriteRecord(double latitude, double longitude, std::u16string_view address);
  // Appends `bytes` as they are.
  bool WriteBytes(std::string_view bytes);
  // Hands everything gathered to the file. False when the file refused it.
  bool Flush();

private:
  bool FlushWhenFull();

  std::FILE* m_file;
  std::string m_buffer;
  ConsoleTextEncoder m_encoder;
};

}  // namespace kavrel::console
