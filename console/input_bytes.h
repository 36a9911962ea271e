// The bytes a conversion reads: a stream as it is, or a gzip stream (any
// number of members one after the other) inflated on the way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace kavrel::console {

// A source of input bytes over an open stdio stream, which it does not own.
class ByteSource {
public:
  virtual ~ByteSource() = default;

  // Reads up to `size` bytes (at least 1) into `data` and returns how many:
  // 0 at the end of the data or on a failure, which Failure() then tells.
  virtual std::size_t Read(char* data, std::size_t size) = 0;

  // Bytes taken from the stream so far: for a gzip source the compressed
  // bytes inflated, which is what a file size can be compared with.
  virtual std::uint64_t StoredBytesRead() const = 0;

  // True when the stream is gzip data being inflated.
  virtual bool Compressed() const = 0;

  // Why a read failed, as words for a report line; empty while none has.
  const std::string& Failure() const { return m_failure; }

protected:
  std::string m_failure;
};

// A source over `file`: gzip data inflated when its first two bytes are the
// gzip magic (0x1f 0x8b), whatever the file's name; else its bytes as they
// are. Reads up to two bytes from `file` to tell, which the source hands
// out again. Never null; a failure of that first read shows at the first
// Read.
std::unique_ptr<ByteSource> OpenByteSource(std::FILE* file);

}  // namespace kavrel::console
