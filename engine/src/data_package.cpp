// Opening a package and reading its index; name lookup in the directory.
// Reading entry data is in entry_loader.cpp.
#include "data_package.h"

#include <exception>
#include <optional>
#include <utility>

#include "byte_order.h"
#include "kavrel/platform/text.h"
#include "kavrelcore.h"

namespace kavrel {

namespace {

constexpr std::uint32_t kHeaderSize = 8;
constexpr std::uint16_t kMagic = 0x01F0;
// Name length, method, flag, offset and stored size around the name bytes.
constexpr std::uint64_t kRecordFixedSize = 12;
constexpr std::uint8_t kNamesUtf8 = 1;

// Parses the index into `files`. False when a record does not fit inside the
// index, in which case `files` is incomplete and must be dropped.
bool ParseIndex(const std::string& index, const platform::TextCodec& names,
                std::vector<CDataPackageFile>& files) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(index.data());
  const std::uint64_t size = index.size();
  std::uint64_t position = 0;
  while (position < size) {
    if (size - position < 2) return false;
    const std::uint16_t nameLength = ReadU16(bytes + position);
    if (size - position < kRecordFixedSize + nameLength) return false;
    const unsigned char* name = bytes + position + 2;
    const unsigned char* tail = name + nameLength;

    CDataPackageFile entry;
    entry.m_nState = CDataPackageFile::kListed;
    std::u16string wide = platform::Utf16FromBytes(
        names.Convert(std::string_view(reinterpret_cast<const char*>(name), nameLength)));
    // Names are zero-terminated texts to their users: a zero byte in the
    // record ends the name there.
    wide.resize(std::char_traits<char16_t>::length(wide.c_str()));
    entry.m_strName = std::move(wide);
    entry.m_nMethod = tail[0];
    entry.m_nFlag = tail[1];
    entry.m_nOffset = ReadU32(tail + 2);
    entry.m_nStoredSize = ReadU32(tail + 6);
    files.push_back(std::move(entry));
    position += kRecordFixedSize + nameLength;
  }
  return true;
}

}  // namespace

void CDataPackageFile::ReleaseData() {
  m_pData.reset();
  m_nSize = 0;
  m_nState = kListed;
}

std::int32_t CDataPackage::Open(const std::u16string& path) {
  if (m_file.IsOpen()) return KAVREL_E_ALREADY_OPEN;
  // Entries of an earlier package would be found first and then read at
  // their old offsets from this file, so every open starts afresh.
  m_files.clear();
  m_index.clear();
  m_nFileSize = 0;
  m_bDamageTold = false;
  m_strPath = path;
  if (!m_file.Open(platform::Utf16ToUtf8(path))) return KAVREL_E_NO_FILE;

  unsigned char header[kHeaderSize] = {};
  const std::optional<std::size_t> got = m_file.ReadAt(0, header, kHeaderSize);
  if (!got || *got < kHeaderSize || ReadU16(header) != kMagic) return KAVREL_E_FORMAT;

  m_nHeaderFlag = header[2];
  m_nNameEncoding = header[3];
  const std::uint32_t indexSize = ReadU32(header + 4);
  m_nDataStart = indexSize + kHeaderSize;  // 32-bit, like every file offset of the format

  // The index must lie wholly inside the file; this also keeps a damaged
  // size from asking for gigabytes of memory.
  const std::optional<std::uint64_t> fileSize = m_file.Size();
  if (!fileSize || *fileSize < std::uint64_t{kHeaderSize} + indexSize) return KAVREL_E_FORMAT;

  std::vector<CDataPackageFile> files;
  std::unordered_map<std::u16string, std::int32_t> lookup;
  try {
    std::string index(indexSize, '\0');
    const std::optional<std::size_t> read = m_file.ReadAt(kHeaderSize, index.data(), indexSize);
    if (!read || *read != indexSize) return KAVREL_E_FORMAT;
    // Any header value but 1 means the system code page, which is fixed at
    // code page 932 here.
    const platform::TextCodec names(m_nNameEncoding == kNamesUtf8 ? "UTF-8" : "CP932", "UTF-16LE");
    if (!ParseIndex(index, names, files)) return KAVREL_E_FORMAT;
    for (std::size_t i = 0; i < files.size(); ++i) {
      // emplace keeps the first index of a name: the first entry always wins.
      lookup.emplace(files[i].m_strName, static_cast<std::int32_t>(i));
    }
  } catch (const std::exception&) {
    // Out of memory, or no converter for the names: the package is unusable.
    m_file.Close();
    return KAVREL_E_NO_FILE;
  }

  m_files = std::move(files);
  m_index = std::move(lookup);
  m_nFileSize = *fileSize;
  return KAVREL_OK;
}

void CDataPackage::Close() {
  m_file.Close();
  m_strPath.clear();
  m_nHeaderFlag = 0;
  m_nNameEncoding = 0;
}

std::int32_t CDataPackage::FindFile(std::u16string_view name) const {
  const auto found = m_index.find(std::u16string(name));
  return found == m_index.end() ? -1 : found->second;
}

}  // namespace kavrel
