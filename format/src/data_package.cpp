// Opening a package and reading its index; name lookup in the directory.
// Reading entry data is in entry_loader.cpp.
#include "kavrel/format/data_package.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <optional>
#include <utility>

#include "kavrel/format/package_layout.h"
#include "kavrel/platform/text.h"

namespace kavrel {

namespace {

// The UTF-16 text of an index record's name bytes, cut at its first zero.
// ASCII reads alike in both encodings, so it is widened without a converter.
std::u16string_view DecodeName(std::string_view bytes, const platform::TextCodec& names, std::u16string& wide) {
  if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    wide.assign(bytes.begin(), bytes.end());
  } else {
    wide = platform::Utf16FromBytes(names.Convert(bytes));
  }
  // Names are zero-terminated texts to their users: a zero in the record
  // ends the name there.
  return std::u16string_view(wide.c_str());
}

}  // namespace

CDataPackageFile CDataPackageFile::Listed(std::uint32_t nameStart, std::uint16_t nameLength,
                                          const IndexRecord& record) {
  CDataPackageFile entry;
  entry.m_nState = kListed;
  entry.m_nNameStart = nameStart;
  entry.m_nNameLength = nameLength;
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
  m_names.clear();
  m_table.clear();
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
  std::u16string names;
  std::vector<std::int32_t> table;
  try {
    std::string index(indexSize, '\0');
    const std::optional<std::size_t> read = m_file.ReadAt(kPackageHeaderSize, index.data(), indexSize);
    if (!read || *read != indexSize) return PackageStatus::kBadFormat;
    if (!ListEntries(index, m_nNameEncoding, files, names, table)) return PackageStatus::kBadFormat;
    MarkSharedBytes(files, m_nDataStart, *fileSize);
  } catch (const std::exception&) {
    // Out of memory, or no converter for the names: the package is unusable.
    m_file.Close();
    return PackageStatus::kNoFile;
  }

  m_files = std::move(files);
  m_names = std::move(names);
  m_table = std::move(table);
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

bool CDataPackage::ListEntries(std::string_view index, std::uint8_t nameEncoding,
                               std::vector<CDataPackageFile>& files, std::u16string& names,
                               std::vector<std::int32_t>& table) {
  std::size_t count = 0;
  if (!VisitIndex(index, [&](const IndexRecord&) { ++count; })) return false;
  files.reserve(count);
  // Decoded names are never longer than their bytes.
  names.reserve(index.size() - count * kIndexRecordFixedSize);
  // Any header value but 1 means the system code page, which is fixed at
  // code page 932 here.
  const platform::TextCodec codec(nameEncoding == kNamesUtf8 ? platform::Encoding::kUtf8 : platform::Encoding::kCp932,
                                  platform::Encoding::kUtf16);
  table.assign(16, -1);
  std::size_t distinct = 0;
  std::u16string wide;
  VisitIndex(index, [&](const IndexRecord& record) {
    const std::u16string_view name = DecodeName(record.name, codec, wide);
    // A decoded name is never longer than its bytes, at most 65535.
    files.push_back(CDataPackageFile::Listed(static_cast<std::uint32_t>(names.size()),
                                             static_cast<std::uint16_t>(name.size()), record));
    names += name;
    const std::size_t slot = Slot(table, files, names, name);
    if (table[slot] >= 0) return;  // the first entry of a name always wins
    table[slot] = static_cast<std::int32_t>(files.size() - 1);
    if (++distinct * 2 <= table.size()) return;
    std::vector<std::int32_t> larger(table.size() * 2, -1);
    for (const std::int32_t entry : table) {
      if (entry < 0) continue;
      const CDataPackageFile& file = files[static_cast<std::size_t>(entry)];
      larger[Slot(larger, files, names, std::u16string_view(names).substr(file.m_nNameStart, file.m_nNameLength))] =
          entry;
    }
    table.swap(larger);
  });
  return true;
}

std::size_t CDataPackage::Slot(const std::vector<std::int32_t>& table, const std::vector<CDataPackageFile>& files,
                               const std::u16string& names, std::u16string_view name) {
  const std::size_t mask = table.size() - 1;
  for (std::size_t slot = std::hash<std::u16string_view>()(name) & mask;; slot = (slot + 1) & mask) {
    const std::int32_t entry = table[slot];
    if (entry < 0) return slot;
    const CDataPackageFile& file = files[static_cast<std::size_t>(entry)];
    if (std::u16string_view(names).substr(file.m_nNameStart, file.m_nNameLength) == name) return slot;
  }
}

std::int32_t CDataPackage::FindFile(std::u16string_view name) const {
  if (m_table.empty()) return -1;
  return m_table[Slot(m_table, m_files, m_names, name)];
}

}  // namespace kavrel
