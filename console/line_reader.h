// Reads a byte stream line by line, whole lines of any length.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input_bytes.h"

namespace kavrel::console {

// Splits the bytes of a source into lines ending after each line feed. Does
// not own the source. Lines keep their line end and any NUL or
// carriage return bytes they hold.
class LineReader {
public:
  explicit LineReader(ByteSource& source);

  // Replaces `line` with the next line, its line feed included when it has
  // one. At the end of the stream `line` holds what was left, possibly
  // nothing, and AtEnd() becomes true. False on a read error, which the
  // source's Failure() tells.
  bool ReadLine(std::string& line);

  // True once a read has met the end of the stream. Like a bounded stdio
  // line read, the read that takes a last line ending in a line feed has not
  // met it yet; the next read, which finds nothing, does.
  bool AtEnd() const { return m_atEnd; }

  // Number of bytes handed out in lines so far: the read position.
  std::uint64_t Position() const { return m_position; }

private:
  ByteSource& m_source;
  std::vector<char> m_buffer;
  std::size_t m_begin = 0;
  std::size_t m_end = 0;
  std::uint64_t m_position = 0;
  bool m_atEnd = false;
};

}  // namespace kavrel::console
