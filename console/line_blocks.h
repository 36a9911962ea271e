// Reads a byte stream in large blocks of whole lines, for a conversion that
// works on many lines at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "input_bytes.h"

namespace kavrel::console {

// The bytes a conversion reads from its source in one call. Progress on a
// gzip input counts the compressed bytes read by the call that gave a
// line's end, so this size is part of what the progress lines show.
inline constexpr std::size_t kReadPieceBytes = 64 * 1024;

// Whole lines of the input, one after the other, as read.
struct LineBlock {
  // The lines, each with its line end and any NUL or carriage return it
  // holds. Every line ends in a line feed but the input's final line, which
  // is whatever follows the last line feed (possibly nothing) and is in the
  // block only when `last`. bytes.c_str() ends in NUL, so that line is
  // NUL-terminated too.
  std::string bytes;
  // The read position (bytes of the input as read, inflated for gzip)
  // before bytes[0].
  std::uint64_t startPosition = 0;
  // For a gzip input: per read call that gave bytes of the block, the
  // offset in `bytes` after the last of them and the compressed bytes read
  // by then; empty for a plain input.
  struct Piece {
    std::size_t end;
    std::uint64_t stored;
  };
  std::vector<Piece> pieces;
  // For a gzip input, the compressed bytes read after the block's last read.
  std::uint64_t storedAtEnd = 0;
  bool compressed = false;
  bool first = false;   // begins with the input's first line
  bool last = false;    // ends with the input's final line
  bool failed = false;  // the read after its lines failed; the bytes of a line cut off by it are dropped

  // The read position after the line that ends at offset `end` of `bytes`
  // (1 to bytes.size(); bytes.size() for the final line, even an empty
  // one), as a conversion's progress counts it: for a plain input, the bytes
  // up to there; for gzip, the compressed bytes read when the line's end
  // came in, and for the final line those read at the end.
  std::uint64_t PositionAfter(std::size_t end) const;
};

// Reads blocks of whole lines from a source, which it does not own.
class BlockReader {
public:
  // `blockBytes`: how large a block grows before it ends after its last
  // line feed; a line longer than that makes a block of its own size.
  BlockReader(ByteSource& source, std::size_t blockBytes);

  // Replaces `block` with the next lines, read in calls of kReadPieceBytes.
  // False when nothing is left: the block before was `last` or `failed`.
  // A failure of the source (its Failure() says why) gives a `failed`
  // block of the whole lines read before it.
  bool Read(LineBlock& block);

private:
  ByteSource& m_source;
  std::size_t m_blockBytes;
  std::string m_carry;  // the start of a line that the block before did not end
  std::uint64_t m_position = 0;
  bool m_first = true;
  bool m_ended = false;
};

// Calls `line(begin, end)` for each line of `block` in order: offsets in
// block.bytes, `end` after its line feed, or at bytes.size() for the final
// line of a `last` block.
template <class OnLine>
void ForEachLine(const LineBlock& block, OnLine&& line) {
  const std::string_view bytes = block.bytes;
  std::size_t begin = 0;
  while (begin < bytes.size()) {
    const std::size_t feed = bytes.find('\n', begin);
    if (feed == std::string_view::npos) break;
    line(begin, feed + 1);
    begin = feed + 1;
  }
  if (block.last) line(begin, bytes.size());
}

}  // namespace kavrel::console
