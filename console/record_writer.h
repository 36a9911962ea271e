// The output side of a batch conversion: lines gathered in a large buffer
// and written to the file in big pieces.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "kavrel/output/console_text_encoder.h"

namespace kavrel::console {

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
  output::ConsoleTextEncoder m_encoder;
};

}  // namespace kavrel::console
