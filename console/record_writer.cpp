#include "record_writer.h"

#include "kavrel/output/line_writers.h"

namespace kavrel::console {

namespace {

constexpr std::size_t kFlushSize = 1 << 20;

}  // namespace

RecordWriter::RecordWriter(ByteSink& sink) : m_sink(sink) { m_buffer.reserve(kFlushSize + 4096); }

bool RecordWriter::WriteRecord(double latitude, double longitude, std::u16string_view address) {
  output::AppendRecordFields(m_buffer, latitude, longitude, address, m_encoder);
  m_buffer += "\r\n";
  return FlushWhenFull();
}

bool RecordWriter::WriteBytes(std::string_view bytes) {
  m_buffer += bytes;
  return FlushWhenFull();
}

bool RecordWriter::FlushWhenFull() { return m_buffer.size() < kFlushSize || Flush(); }

bool RecordWriter::Flush() {
  const bool written = m_sink.Write(m_buffer);
  m_buffer.clear();
  return written;
}

}  // namespace kavrel::console
