// Bringing entries into memory (stored or raw-inflated) and dropping them.
#include <zlib.h>

#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "kavrel/format/data_package.h"
#include "kavrel/format/entry_cap.h"
#include "kavrel/format/package_layout.h"
#include "kavrel/platform/diagnostic.h"
#include "kavrel/platform/text.h"

namespace kavrel {

namespace {

// Inflated output is counted through a window of this size.
constexpr std::size_t kInflateWindow = 65536;
// Checked before anything is allocated for the data; also keeps every size
// countable by m_nSize.
constexpr std::uint64_t kMaxEntrySize = kMaxEntryBytes;

using Bytes = std::unique_ptr<std::uint8_t[]>;

// Ends the inflate stream on every way out of InflatePass.
struct InflateStream {
  z_stream z{};
  bool started = false;
  ~InflateStream() {
    if (started) inflateEnd(&z);
  }
};

enum class InflateResult { kDone, kNoStart, kBroken, kTooLarge };

// Inflates the whole raw deflate stream in `stored`, all input at once.
// With `keep` null, the output goes through `window` over and over and is
// only counted into `length`; otherwise `keep` must have room for exactly
// `length` bytes. kTooLarge when it would pass `limit` bytes, found before
// much more than that is inflated.
InflateResult InflatePass(const std::uint8_t* stored, std::uint32_t storedSize, std::uint64_t limit,
                          std::uint8_t* window, std::uint8_t* keep, std::uint64_t& length) {
  InflateStream stream;
  // Window bits -15: raw deflate, no zlib or gzip wrapper, no checksum.
  if (inflateInit2(&stream.z, -15) < 0) return InflateResult::kNoStart;
  stream.started = true;

  std::uint8_t* const room = keep != nullptr ? keep : window;
  const auto roomSize = static_cast<uInt>(keep != nullptr ? length : kInflateWindow);
  stream.z.next_in = const_cast<Bytef*>(stored);
  stream.z.avail_in = storedSize;
  stream.z.next_out = room;
  stream.z.avail_out = roomSize;
  std::uint64_t counted = 0;
  for (;;) {
    const int result = inflate(&stream.z, Z_NO_FLUSH);
    if (result == Z_STREAM_END) break;
    if (result == Z_OK) continue;
    // No progress with the output full: at least one more byte is coming.
    // With room left, the input ended before the stream did.
    if (result != Z_BUF_ERROR || stream.z.avail_out != 0 || keep != nullptr) return InflateResult::kBroken;
    counted += roomSize;
    if (counted >= limit) return InflateResult::kTooLarge;
    stream.z.next_out = room;
    stream.z.avail_out = roomSize;
  }
  length = counted + roomSize - stream.z.avail_out;
  return length > limit ? InflateResult::kTooLarge : InflateResult::kDone;
}

// Inflates `stored` into `out`, a buffer of exactly the inflated length
// (`outSize` bytes), at most `limit`. A first pass only measures, so an entry
// past the limit is refused holding nothing but the window; one that fits in
// the window is copied from it, a longer one inflated again into its own
// buffer. Throws std::bad_alloc.
InflateResult InflateRaw(const std::uint8_t* stored, std::uint32_t storedSize, std::uint64_t limit, Bytes& out,
                         std::size_t& outSize) {
  // On the stack and never cleared: a package has thousands of entries, most
  // of which fill a few KiB of it.
  std::array<std::uint8_t, kInflateWindow> window;
  std::uint64_t length = 0;
  const InflateResult measured = InflatePass(stored, storedSize, limit, window.data(), nullptr, length);
  if (measured != InflateResult::kDone) return measured;
  outSize = static_cast<std::size_t>(length);
  out = std::make_unique<std::uint8_t[]>(outSize);
  if (length <= kInflateWindow) {
    if (outSize != 0) std::memcpy(out.get(), window.data(), outSize);
    return InflateResult::kDone;
  }
  return InflatePass(stored, storedSize, limit, nullptr, out.get(), length);
}

// The text with every control character shown as '?', so that a damaged
// name cannot steer the terminal it is written to.
std::string Printable(std::string text) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return text;
}

}  // namespace

PackageStatus CDataPackage::RefuseDamaged(const CDataPackageFile& entry, const std::string& why) {
  if (!m_bDamageTold) {
    m_bDamageTold = true;
    platform::ShowDiagnostic("kavrelcore: " + Printable(platform::Utf16ToUtf8(m_strPath)) +
                             ": damaged entry " + Printable(platform::Utf16ToUtf8(NameOf(entry))) +
                             ": " + why + "; it is not loaded (further damaged entries are not told)");
  }
  return PackageStatus::kDamaged;
}

std::string CDataPackage::Damage(const CDataPackageFile& entry) const {
  if (!EntryInFile(m_nDataStart, entry.m_nOffset, entry.m_nStoredSize, m_nFileSize)) {
    return std::to_string(entry.m_nStoredSize) + " bytes at offset " + std::to_string(entry.m_nOffset) +
           " reach past the end of the file (" + std::to_string(m_nFileSize) + " bytes)";
  }
  // The writer gives every entry bytes of its own; entries that share them
  // would multiply what one stream costs.
  if (entry.m_bSharesBytes) return "its stored bytes overlap those of another entry";
  // Whatever the method: empty blocks pad a deflate stream to any length,
  // and reading it would allocate all of it.
  if (entry.m_nStoredSize > kMaxEntrySize) {
    return std::to_string(entry.m_nStoredSize) + " bytes, more than " + std::to_string(kMaxEntrySize);
  }
  return {};
}

namespace {

// The data of an entry whose stored bytes are `stored` (an owned copy, which
// becomes the data of a stored entry): kOk with `data` and `size`, or
// LoadFile's status; `damage` says why an entry that inflates past
// MaxEntryContent of its stored size is damaged. Throws std::bad_alloc.
PackageStatus DecodeStored(std::uint8_t method, std::uint32_t storedSize, Bytes stored, Bytes& data,
                           std::int32_t& size, std::string& damage) {
  size = 0;
  if (method == kMethodStored) {
    size = static_cast<std::int32_t>(storedSize);
  } else if (method == kMethodDeflate) {
    Bytes inflated;
    std::size_t inflatedSize = 0;
    const std::uint64_t limit = MaxEntryContent(storedSize);
    switch (InflateRaw(stored.get(), storedSize, limit, inflated, inflatedSize)) {
      case InflateResult::kNoStart:
        return PackageStatus::kNoDecompressor;
      case InflateResult::kBroken:
        return PackageStatus::kDamaged;
      case InflateResult::kTooLarge:
        damage = "it inflates to more than " + std::to_string(limit) + " bytes, the most that " +
                 std::to_string(storedSize) + " stored bytes may hold";
        return PackageStatus::kDamaged;
      case InflateResult::kDone:
        break;
    }
    stored = std::move(inflated);
    size = static_cast<std::int32_t>(inflatedSize);
  }
  // An unknown method keeps the stored bytes with size 0: its users see an
  // empty entry.
  data = std::move(stored);
  return PackageStatus::kOk;
}

}  // namespace

PackageStatus CDataPackage::LoadFile(std::u16string_view name) {
  try {
    const std::int32_t index = FindFile(name);
    if (index < 0) return PackageStatus::kNoEntry;
    CDataPackageFile& entry = File(index);
    // An empty entry has nothing to load and stays listed; a loaded one is a
    // cache hit and costs no file access.
    if (entry.m_nStoredSize == 0 || entry.m_nState == CDataPackageFile::kLoaded) return PackageStatus::kOk;
    if (!m_file.IsOpen()) return PackageStatus::kNoFile;
    std::string damage = Damage(entry);
    if (!damage.empty()) return RefuseDamaged(entry, damage);

    Bytes stored = std::make_unique<std::uint8_t[]>(entry.m_nStoredSize);
    // 32-bit, as every file offset of the format.
    const std::uint32_t position = m_nDataStart + entry.m_nOffset;
    // A read that ends early (the file shrank since Open) leaves zeros.
    if (!m_file.ReadAt(position, stored.get(), entry.m_nStoredSize)) return PackageStatus::kDamaged;

    Bytes data;
    std::int32_t size = 0;
    const PackageStatus status =
        DecodeStored(entry.m_nMethod, entry.m_nStoredSize, std::move(stored), data, size, damage);
    if (!damage.empty()) return RefuseDamaged(entry, damage);
    if (status != PackageStatus::kOk) return status;
    entry.m_pData = std::move(data);
    entry.m_nSize = size;
    entry.m_nState = CDataPackageFile::kLoaded;
    return PackageStatus::kOk;
  } catch (const std::bad_alloc&) {
    // Nothing was attached to the entry: it stays listed and a later load
    // tries again.
    return PackageStatus::kDamaged;
  }
}

PackageStatus CDataPackage::ReadImage() {
  if (!m_file.IsOpen()) return PackageStatus::kNoFile;
  std::vector<std::uint8_t> image(static_cast<std::size_t>(m_nFileSize));
  const std::optional<std::size_t> read = m_file.ReadAt(0, image.data(), image.size());
  if (!read || *read != image.size()) return PackageStatus::kNoFile;
  m_image = std::move(image);
  return PackageStatus::kOk;
}

PackageStatus CDataPackage::DecodeEntry(std::int32_t index, Bytes& data, std::int32_t& size) const {
  const CDataPackageFile& entry = File(index);
  data.reset();
  size = 0;
  if (entry.m_nStoredSize == 0) return PackageStatus::kOk;
  if (m_nFileSize == 0 || m_image.size() != m_nFileSize) return PackageStatus::kNoFile;
  if (!Damage(entry).empty()) return PackageStatus::kDamaged;
  Bytes stored = std::make_unique<std::uint8_t[]>(entry.m_nStoredSize);
  std::memcpy(stored.get(), m_image.data() + m_nDataStart + entry.m_nOffset, entry.m_nStoredSize);
  std::string damage;
  return DecodeStored(entry.m_nMethod, entry.m_nStoredSize, std::move(stored), data, size, damage);
}

PackageStatus CDataPackage::UnloadFile(std::u16string_view name) {
  const std::int32_t index = FindFile(name);
  if (index < 0) return PackageStatus::kNoEntry;
  CDataPackageFile& entry = File(index);
  if (entry.m_nState != CDataPackageFile::kLoaded) return PackageStatus::kNotLoaded;
  entry.ReleaseData();
  return PackageStatus::kOk;
}

void CDataPackage::LoadAll() {
  // Loading goes by name, so an entry whose name occurs earlier in the
  // directory is never loaded itself: the earlier one stands in for it.
  for (std::int32_t i = 0; i < FileCount(); ++i) LoadFile(FileName(i));
}

}  // namespace kavrel
