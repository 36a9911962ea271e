// Bringing entries into memory (stored or raw-inflated) and dropping them.
#include <zlib.h>

#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "data_package.h"
#include "kavrelcore.h"

namespace kavrel {

namespace {

constexpr std::uint8_t kMethodStored = 0;
constexpr std::uint8_t kMethodDeflate = 1;
// The work buffer starts at this size and grows by it whenever it is full.
constexpr std::size_t kInflateStep = 65536;
// m_nSize is a signed 32-bit count: larger data cannot be described.
constexpr std::uint64_t kMaxEntrySize = std::numeric_limits<std::int32_t>::max();

using Bytes = std::unique_ptr<std::uint8_t[]>;

// Ends the inflate stream on every way out of InflateRaw.
struct InflateStream {
  z_stream z{};
  bool started = false;
  ~InflateStream() {
    if (started) inflateEnd(&z);
  }
};

enum class InflateResult { kDone, kNoStart, kBroken };

// Inflates the raw deflate stream in `stored` into `out`, a buffer of exactly
// the inflated length (`outSize` bytes). All input is given at once; the
// output room grows in steps of kInflateStep. Throws std::bad_alloc.
InflateResult InflateRaw(const std::uint8_t* stored, std::uint32_t storedSize, Bytes& out,
                         std::size_t& outSize) {
  InflateStream stream;
  // Window bits -15: raw deflate, no zlib or gzip wrapper, no checksum.
  if (inflateInit2(&stream.z, -15) < 0) return InflateResult::kNoStart;
  stream.started = true;

  std::vector<std::uint8_t> work(kInflateStep);
  stream.z.next_in = const_cast<Bytef*>(stored);
  stream.z.avail_in = storedSize;
  stream.z.next_out = work.data();
  stream.z.avail_out = static_cast<uInt>(work.size());
  for (;;) {
    const int result = inflate(&stream.z, Z_NO_FLUSH);
    if (result == Z_STREAM_END) break;
    if (result == Z_OK) continue;
    // No progress with the output full: more room is all it needs. With room
    // left, the input ended before the stream did.
    if (result != Z_BUF_ERROR || stream.z.avail_out != 0) return InflateResult::kBroken;
    const std::size_t produced = work.size();
    if (produced + kInflateStep > kMaxEntrySize) return InflateResult::kBroken;
    work.resize(produced + kInflateStep);
    stream.z.next_out = work.data() + produced;
    stream.z.avail_out = static_cast<uInt>(kInflateStep);
  }

  outSize = work.size() - stream.z.avail_out;
  out = std::make_unique<std::uint8_t[]>(outSize);
  if (outSize != 0) std::memcpy(out.get(), work.data(), outSize);
  return InflateResult::kDone;
}

}  // namespace

std::int32_t CDataPackage::LoadFile(std::u16string_view name) {
  try {
    const std::int32_t index = FindFile(name);
    if (index < 0) return KAVREL_E_NOT_FOUND;
    CDataPackageFile& entry = File(index);
    // An empty entry has nothing to load and stays listed; a loaded one is a
    // cache hit and costs no file access.
    if (entry.m_nStoredSize == 0 || entry.m_nState == CDataPackageFile::kLoaded) return KAVREL_OK;
    if (!m_file.IsOpen()) return KAVREL_E_NO_FILE;
    if (entry.m_nStoredSize > kMaxEntrySize) return KAVREL_E_INFLATE;

    Bytes stored = std::make_unique<std::uint8_t[]>(entry.m_nStoredSize);
    // The sum wraps at 2^32: packages are addressed with 32-bit offsets.
    const std::uint32_t position = m_nDataStart + entry.m_nOffset;
    // A read that ends early at the end of the file leaves zeros behind it.
    if (!m_file.ReadAt(position, stored.get(), entry.m_nStoredSize)) return KAVREL_E_INFLATE;

    std::int32_t size = 0;
    if (entry.m_nMethod == kMethodStored) {
      size = static_cast<std::int32_t>(entry.m_nStoredSize);
    } else if (entry.m_nMethod == kMethodDeflate) {
      Bytes inflated;
      std::size_t inflatedSize = 0;
      switch (InflateRaw(stored.get(), entry.m_nStoredSize, inflated, inflatedSize)) {
        case InflateResult::kNoStart:
          return KAVREL_E_DECOMPRESSOR;
        case InflateResult::kBroken:
          return KAVREL_E_INFLATE;
        case InflateResult::kDone:
          break;
      }
      stored = std::move(inflated);
      size = static_cast<std::int32_t>(inflatedSize);
    }
    // An unknown method keeps the stored bytes with size 0: its users see an
    // empty entry.
    entry.m_pData = std::move(stored);
    entry.m_nSize = size;
    entry.m_nState = CDataPackageFile::kLoaded;
    return KAVREL_OK;
  } catch (const std::bad_alloc&) {
    // Nothing was attached to the entry: it stays listed and a later load
    // tries again.
    return KAVREL_E_INFLATE;
  }
}

std::int32_t CDataPackage::UnloadFile(std::u16string_view name) {
  const std::int32_t index = FindFile(name);
  if (index < 0) return KAVREL_E_NOT_FOUND;
  CDataPackageFile& entry = File(index);
  if (entry.m_nState != CDataPackageFile::kLoaded) return KAVREL_E_NOT_READY;
  entry.ReleaseData();
  return KAVREL_OK;
}

std::int32_t CDataPackage::LoadAll() {
  // Loading goes by name, so an entry whose name occurs earlier in the
  // directory is never loaded itself: the earlier one stands in for it.
  for (std::int32_t i = 0; i < FileCount(); ++i) LoadFile(File(i).m_strName);
  return KAVREL_OK;
}

}  // namespace kavrel
