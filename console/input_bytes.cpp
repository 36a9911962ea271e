#include "input_bytes.h"

#include <zlib.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <vector>

#include "kavrel/platform/files.h"

namespace kavrel::console {

namespace {

constexpr std::size_t kInputChunk = 64 * 1024;
// gzip's two magic bytes (RFC 1952).
constexpr unsigned char kGzipMagic[2] = {0x1f, 0x8b};
// Window bits that make zlib read a gzip wrapper.
constexpr int kGzipWindowBits = 15 + 16;

// The stream's bytes behind `prefix`, the bytes already taken from it.
class StreamReader {
public:
  // `peekError`: the error number of a failure while taking `prefix`, or 0.
  StreamReader(std::FILE* file, std::string prefix, int peekError)
      : m_file(file), m_prefix(std::move(prefix)), m_peekError(peekError) {}

  // As ByteSource::Read; `failure` receives the system's text on an error.
  std::size_t Read(char* data, std::size_t size, std::string& failure) {
    if (m_peekError != 0) {
      failure = platform::SystemErrorText(m_peekError);
      return 0;
    }
    std::size_t taken = 0;
    if (m_used < m_prefix.size()) {
      taken = std::min(size, m_prefix.size() - m_used);
      std::memcpy(data, m_prefix.data() + m_used, taken);
      m_used += taken;
      if (taken == size) return taken;
    }
    errno = 0;
    taken += std::fread(data + taken, 1, size - taken, m_file);
    if (taken == 0 && std::ferror(m_file)) failure = platform::SystemErrorText(errno);
    return taken;
  }

private:
  std::FILE* m_file;
  std::string m_prefix;
  int m_peekError;
  std::size_t m_used = 0;
};

class PlainSource : public ByteSource {
public:
  explicit PlainSource(StreamReader reader) : m_reader(std::move(reader)) {}

  std::size_t Read(char* data, std::size_t size) override {
    const std::size_t read = m_reader.Read(data, size, m_failure);
    m_stored += read;
    return read;
  }
  std::uint64_t StoredBytesRead() const override { return m_stored; }
  bool Compressed() const override { return false; }

private:
  StreamReader m_reader;
  std::uint64_t m_stored = 0;
};

class GzipSource : public ByteSource {
public:
  explicit GzipSource(StreamReader reader) : m_reader(std::move(reader)), m_input(kInputChunk) {
    if (inflateInit2(&m_stream, kGzipWindowBits) != Z_OK) m_failure = "zlib cannot start inflating";
  }
  ~GzipSource() override { inflateEnd(&m_stream); }
  GzipSource(const GzipSource&) = delete;
  GzipSource& operator=(const GzipSource&) = delete;

  std::size_t Read(char* data, std::size_t size) override {
    std::size_t produced = 0;
    while (produced == 0 && m_failure.empty()) {
      if (m_stream.avail_in == 0 && !Refill()) return 0;
      // The next member, when one has ended and bytes follow it.
      if (!m_inMember) {
        inflateReset(&m_stream);
        m_inMember = true;
      }
      m_stream.next_out = reinterpret_cast<Bytef*>(data);
      m_stream.avail_out = static_cast<uInt>(size);
      const uInt before = m_stream.avail_in;
      const int result = inflate(&m_stream, Z_NO_FLUSH);
      m_stored += before - m_stream.avail_in;
      produced = size - m_stream.avail_out;
      if (result == Z_STREAM_END) {
        m_inMember = false;
      } else if (result != Z_OK && result != Z_BUF_ERROR) {
        m_failure = std::string("the gzip data is damaged (") +
                    (m_stream.msg != nullptr ? m_stream.msg : "zlib error " + std::to_string(result)) + ")";
      }
    }
    return produced;
  }
  std::uint64_t StoredBytesRead() const override { return m_stored; }
  bool Compressed() const override { return true; }

private:
  // Fills the input buffer; false at the end of the stream or on a failure.
  bool Refill() {
    const std::size_t read = m_reader.Read(reinterpret_cast<char*>(m_input.data()), m_input.size(), m_failure);
    if (read == 0) {
      if (m_failure.empty() && m_inMember) m_failure = "the gzip data ends inside a member (a cut-off file?)";
      return false;
    }
    m_stream.next_in = m_input.data();
    m_stream.avail_in = static_cast<uInt>(read);
    return true;
  }

  StreamReader m_reader;
  std::vector<Bytef> m_input;
  z_stream m_stream{};
  bool m_inMember = true;
  std::uint64_t m_stored = 0;
};

}  // namespace

std::unique_ptr<ByteSource> OpenByteSource(std::FILE* file) {
  std::string prefix;
  int peekError = 0;
  for (std::size_t i = 0; i < sizeof kGzipMagic; ++i) {
    errno = 0;
    const int c = std::fgetc(file);
    if (c == EOF) {
      if (std::ferror(file)) peekError = errno != 0 ? errno : EIO;
      break;
    }
    prefix.push_back(static_cast<char>(c));
    if (static_cast<unsigned char>(c) != kGzipMagic[i]) break;
  }
  const bool gzip =
      prefix.size() == sizeof kGzipMagic && std::memcmp(prefix.data(), kGzipMagic, sizeof kGzipMagic) == 0;
  StreamReader reader(file, std::move(prefix), peekError);
  if (gzip) return std::make_unique<GzipSource>(std::move(reader));
  return std::make_unique<PlainSource>(std::move(reader));
}

}  // namespace kavrel::console
