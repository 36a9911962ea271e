// The bytes a conversion writes: to a stream as they are, or gzip
// compressed on the way (/gzip).
#pragma once

#include <cstdio>
#include <memory>
#include <string_view>

namespace kavrel::console {

// A sink of output bytes over an open stdio stream, which it does not own.
// A failed write leaves the error number in errno.
class ByteSink {
public:
  virtual ~ByteSink() = default;
  // Hands `bytes` on to the stream. False when the stream refused them.
  virtual bool Write(std::string_view bytes) = 0;
  // Writes whatever the sink still holds back (a gzip sink's last block and
  // trailer); called once, after the last Write. False on a failure.
  virtual bool Finish() = 0;
};

// A sink writing to `file` as given, or one gzip member of it when `gzip`:
// deflate at zlib's fastest level, no file name and no time in the header,
// so the same output gives the same bytes.
std::unique_ptr<ByteSink> MakeByteSink(std::FILE* file, bool gzip);

}  // namespace kavrel::console
