// Opening a package and reading its index; name lookup in the directory.
// Reading entry data is in entry_loader.cpp.
#include "kavrel/format/data_package.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

#include "kavrel/format/package_layout.h"
#include "kavrel/platform/text.h"

namespace kavrel {

namespace {

// The entries of the index records. Names are decoded with `names`.
std::vector<CDataPackageFile> Entries(const std::vector<IndexRecord>& records, const platform::TextCodec& names) {
  std::vector<CDataPackageFile> files;
  files.reserve(records.size());
  for (const IndexRecord& record : records) {
    std::u16string wide = platform::Utf16FromBytes(names.Convert(record.name));
    // Names are zero-terminated texts to their users: a zero byte in the
    // record ends the name there.
    wide.resize(std::char_traits<char16_t>::length(wide.c_str()));
    files.push_back(CDataPackageFile::Listed(std::move(wide), record));
  }
  return files;
}

}  // namespace

CDataPackageFile CDataPackageFile::Listed(std::u16string name, const IndexRecord& record) {
  CDataPackageFile entry;
  entry.m_nState = kListed;
  entry.m_strName = std::move(name);
  entry.m_nMethod = record.method;
  entry.m_nFlag = record.flag;
  entry.m_nOffset = record.offset;
  entry.m_nStoredSize = record.storedSize;
  return entry;
}

void CDataPackageFile::ReleaseData() {
  m_pData.reset();
  m_nSize = 0;
  m_nState = kListed;
}

PackageStatus CDataPackage::Open(const std::u16string& path) {
  if (m_file.IsOpen()) return PackageStatus::kAlreadyOpen;
  // Entries of an earlier package would be found first and then read at
  // their old offsets from this file, so every open starts afresh.
  m_files.clear();
  m_index.clear();
  m_nFileSize = 0;
  m_bDamageTold = false;
  m_image = {};
  m_strPath = path;
  if (!m_file.Open(platform::Utf16ToUtf8KeepingBytes(path))) return PackageStatus::kNoFile;

  char bytes[kPackageHeaderSize] = {};
  const std::optional<std::size_t> got = m_file.ReadAt(0, bytes, kPackageHeaderSize);
  const std::optional<PackageHeader> header =
      got ? ReadPackageHeader(std::string_view(bytes, *got)) : std::nullopt;
  if (!header) return PackageStatus::kBadFormat;

  m_nHeaderFlag = header->headerFlag;
  m_nNameEncoding = header->nameEncoding;
  const std::uint32_t indexSize = header->indexSize;
  m_nDataStart = indexSize + kPackageHeaderSize;  // 32-bit, like every file offset of the format

  // The index must lie wholly inside the file; this also keeps a damaged
  // size from asking for gigabytes of memory.
  const std::optional<std::uint64_t> fileSize = m_file.Size();
  if (!fileSize || *fileSize < std::uint64_t{kPackageHeaderSize} + indexSize) return PackageStatus::kBadFormat;

  std::vector<CDataPackageFile> files;
  std::unordered_map<std::u16string, std::int32_t> lookup;
  try {
    std::string index(indexSize, '\0');
    const std::optional<std::size_t> read = m_file.ReadAt(kPackageHeaderSize, index.data(), indexSize);
    if (!read || *read != indexSize) return PackageStatus::kBadFormat;
    // Any header value but 1 means the system code page, which is fixed at
    // code page 932 here.
    const platform::Encoding nameEncoding =
        m_nNameEncoding == kNamesUtf8 ? platform::Encoding::kUtf8 : platform::Encoding::kCp932;
    const platform::TextCodec names(nameEncoding, platform::Encoding::kUtf16);
    std::vector<IndexRecord> records;
    if (!ReadIndex(index, records)) return PackageStatus::kBadFormat;
    files = Entries(records, names);
    MarkSharedBytes(files, m_nDataStart, *fileSize);
    for (std::size_t i = 0; i < files.size(); ++i) {
      // emplace keeps the first index of a name: the first entry always wins.
      lookup.emplace(files[i].m_strName, static_cast<std::int32_t>(i));
    }
  } catch (const std::exception&) {
    // Out of memory, or no converter for the names: the package is unusable.
    m_file.Close();
    return PackageStatus::kNoFile;
  }

  m_files = std::move(files);
  m_index = std::move(lookup);
  m_nFileSize = *fileSize;
  return PackageStatus::kOk;
}

void CDataPackage::MarkSharedBytes(std::vector<CDataPackageFile>& files, std::uint64_t dataStart,
                                   std::uint64_t fileSize) {
  std::vector<std::uint32_t> byStart;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const CDataPackageFile& entry = files[i];
    if (entry.m_nStoredSize != 0 && EntryInFile(dataStart, entry.m_nOffset, entry.m_nStoredSize, fileSize)) {
      byStart.push_back(static_cast<std::uint32_t>(i));
    }
  }
  const auto start = [&](std::uint32_t i) { return dataStart + files[i].m_nOffset; };
  std::sort(byStart.begin(), byStart.end(), [&](std::uint32_t a, std::uint32_t b) { return start(a) < start(b); });
  // Walking up by start, an entry that begins before the furthest end so far
  // overlaps the entry that reaches there; every overlapping pair is met so.
  std::uint64_t furthestEnd = 0;
  std::uint32_t reaching = 0;
  for (const std::uint32_t i : byStart) {
    if (start(i) < furthestEnd) {
      files[i].m_bSharesBytes = true;
      files[reaching].m_bSharesBytes = true;
    }
    const std::uint64_t end = start(i) + files[i].m_nStoredSize;
    if (end > furthestEnd) {
      furthestEnd = end;
      reaching = i;
    }
  }
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
