// The output side of a batch conversion: lines gathered in a large buffer
// and written to the file in big pieces.
#pragma once

#include <string>
#include <string_view>

#include "kavrel/output/console_text_encoder.h"
#include "output_bytes.h"

namespace kavrel::console {

// Buffers the lines of a conversion and writes them to `sink` (not owned) in
// pieces of about a megabyte. Write errors show at the next Flush.
class RecordWriter {
public:
  explicit RecordWriter(ByteSink& sink);

  // Appends "latitude,longitude,address\r\n" with "%f" numbers.
  bool WriteRecord(double latitude, double longitude, std::u16string_view address);
  // Appends `bytes` as they are.
  bool WriteBytes(std::string_view bytes);
  // Hands everything gathered to the sink. False when the sink refused it.
  bool Flush();

private:
  bool FlushWhenFull();

  ByteSink& m_sink;
  std::string m_buffer;
  output::ConsoleTextEncoder m_encoder;
};

}  // namespace kavrel::console
