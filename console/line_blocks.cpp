#include "line_blocks.h"

#include <algorithm>

namespace kavrel::console {

std::uint64_t LineBlock::PositionAfter(std::size_t end) const {
  if (!compressed) return startPosition + end;
  if (last && end == bytes.size()) return storedAtEnd;
  // The read call that gave the line's last byte, bytes[end - 1].
  const auto piece = std::lower_bound(pieces.begin(), pieces.end(), end,
                                      [](const Piece& p, std::size_t e) { return p.end < e; });
  return piece != pieces.end() ? piece->stored : storedAtEnd;
}

BlockReader::BlockReader(ByteSource& source, std::size_t blockBytes)
    : m_source(source), m_blockBytes(std::max<std::size_t>(blockBytes, 1)) {}

bool BlockReader::Read(LineBlock& block) {
  if (m_ended) return false;
  block.bytes.assign(m_carry);
  m_carry.clear();
  block.pieces.clear();
  block.startPosition = m_position;
  block.compressed = m_source.Compressed();
  block.first = m_first;
  block.last = false;
  block.failed = false;
  m_first = false;
  // Where the line feed nearest the end is; a block ends right after it.
  std::size_t lastFeed = std::string::npos;
  while (true) {
    const std::size_t start = block.bytes.size();
    block.bytes.resize(start + kReadPieceBytes);
    const std::size_t read = m_source.Read(block.bytes.data() + start, kReadPieceBytes);
    block.bytes.resize(start + read);
    block.storedAtEnd = m_source.StoredBytesRead();
    if (read == 0) {
      m_ended = true;
      if (m_source.Failure().empty()) {
        block.last = true;
      } else {
        // The bytes of a line the failure cut off are not handed out.
        block.failed = true;
        block.bytes.resize(lastFeed == std::string::npos ? 0 : lastFeed + 1);
      }
      break;
    }
    if (block.compressed) block.pieces.push_back({block.bytes.size(), block.storedAtEnd});
    const std::size_t feed = std::string_view(block.bytes).substr(start).rfind('\n');
    if (feed != std::string_view::npos) lastFeed = start + feed;
    if (block.bytes.size() >= m_blockBytes && lastFeed != std::string::npos) {
      m_carry.assign(block.bytes, lastFeed + 1, std::string::npos);
      block.bytes.resize(lastFeed + 1);
      break;
    }
  }
  m_position += block.bytes.size();
  return true;
}

}  // namespace kavrel::console
