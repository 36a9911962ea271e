#include "line_reader.h"

#include <cstring>

namespace kavrel::console {

namespace {
constexpr std::size_t kChunkSize = 64 * 1024;
}

LineReader::LineReader(ByteSource& source) : m_source(source), m_buffer(kChunkSize) {}

bool LineReader::ReadLine(std::string& line) {
  line.clear();
  while (true) {
    const char* begin = m_buffer.data() + m_begin;
    const std::size_t available = m_end - m_begin;
    const void* lineFeed = std::memchr(begin, '\n', available);
    if (lineFeed != nullptr) {
      const std::size_t length = static_cast<const char*>(lineFeed) - begin + 1;
      line.append(begin, length);
      m_begin += length;
      m_position += length;
      return true;
    }
    line.append(begin, available);
    m_position += available;
    m_begin = m_end = 0;
    const std::size_t read = m_source.Read(m_buffer.data(), m_buffer.size());
    if (read == 0) {
      if (!m_source.Failure().empty()) return false;
      m_atEnd = true;
      return true;
    }
    m_end = read;
  }
}

}  // namespace kavrel::console
