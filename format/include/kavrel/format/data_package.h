// The data package: an archive of named entries, each stored or raw-deflated,
// in the layout of package_layout.h. This is how the engine reads packages,
// and kavrel-pack verify reads them the same way.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kavrel/platform/files.h"

namespace kavrel {

// One entry of the package directory. Owns its data; move-only.
class CDataPackageFile {
public:
  enum State : std::int32_t { kBlank = 0, kListed = 1, kLoaded = 2 };

  CDataPackageFile() = default;
  CDataPackageFile(CDataPackageFile&&) noexcept = default;
  CDataPackageFile& operator=(CDataPackageFile&&) noexcept = default;
  CDataPackageFile(const CDataPackageFile&) = delete;
  CDataPackageFile& operator=(const CDataPackageFile&) = delete;

  // Drops the data in memory: no data, size 0, state listed.
  void ReleaseData();

  std::int32_t m_nState = kBlank;
  std::u16string m_strName;
  std::uint32_t m_nStoredSize = 0;
  std::uint32_t m_nOffset = 0;       // relative to the data start
  std::uint8_t m_nMethod = 0;        // 0 stored, 1 raw deflate
  std::uint8_t m_nFlag = 0;
  std::int32_t m_nSize = 0;          // bytes in m_pData; 0 while not loaded
  std::unique_ptr<std::uint8_t[]> m_pData;
};

// The open package: its directory, file and entries.
class CDataPackage {
public:
  CDataPackage() = default;
  CDataPackage(const CDataPackage&) = delete;
  CDataPackage& operator=(const CDataPackage&) = delete;

  // Opens the package at `path` (UTF-16; converted to the native path encoding)
  // and reads its directory. Returns 0; KAVREL_E_ALREADY_OPEN when a package is
  // open already (nothing changes); KAVREL_E_NO_FILE when the file cannot be
  // opened (also when memory for the index runs out; the file is then closed);
  // KAVREL_E_FORMAT for a file shorter than its header, a wrong magic, or an
  // index that runs past the end of the file or holds a record that runs past
  // the end of the index (the file stays open, the directory empty). Every open
  // past the KAVREL_E_ALREADY_OPEN test starts from an empty directory, dropping
  // earlier entries and their data. Other readers of the file are not refused.
  std::int32_t Open(const std::u16string& path);

  // Closes the file and empties the path and header bytes. The directory and
  // the data in memory stay.
  void Close();

  // True from a successful file open in Open until Close.
  bool IsOpen() const { return m_file.IsOpen(); }

  // Index of the first entry whose name equals `name` exactly (code unit by
  // code unit), or -1. Only Open changes which names the directory holds.
  // Throws std::bad_alloc when the key cannot be copied.
  std::int32_t FindFile(std::u16string_view name) const;

  // Brings the entry into memory (inflating a method-1 entry). Returns 0 when it
  // is in memory afterwards (or has stored size 0); KAVREL_E_NOT_FOUND for an
  // unknown name; KAVREL_E_NO_FILE while the file is closed;
  // KAVREL_E_DECOMPRESSOR when the inflater cannot start; KAVREL_E_INFLATE when
  // the stream does not inflate to its end (also for a read error or memory
  // exhaustion). A damaged entry also fails with KAVREL_E_INFLATE, allocating
  // nothing for its data: one whose stored bytes reach past the end of the file
  // as it was at Open (an entry of stored size 0 never is), or one whose data
  // would be larger than KAVREL_MAX_ENTRY_BYTES, stored or inflated. The first
  // damaged entry after each Open is named in one line on standard error. On
  // failure the entry stays listed. A loaded entry is returned from memory
  // without touching the file, even when it is closed. Bytes a read misses
  // because the file shrank after Open are zeros.
  std::int32_t LoadFile(std::u16string_view name);

  // Drops the entry's data. Returns 0; KAVREL_E_NOT_FOUND for an unknown name;
  // KAVREL_E_NOT_READY when the entry is not loaded.
  std::int32_t UnloadFile(std::u16string_view name);

  // LoadFile for every entry by its name, in directory order; always 0.
  // Failures of single entries are ignored; they stay listed.
  std::int32_t LoadAll();

  // The number of entries, and the entry at `index` in [0, FileCount()).
  // Take an index from FindFile and use it before the next Open, which
  // replaces the directory; an index out of range is undefined behaviour.
  std::int32_t FileCount() const { return static_cast<std::int32_t>(m_files.size()); }
  CDataPackageFile& File(std::int32_t index) { return m_files[static_cast<std::size_t>(index)]; }
  const CDataPackageFile& File(std::int32_t index) const { return m_files[static_cast<std::size_t>(index)]; }

  std::vector<CDataPackageFile> m_files;
  std::u16string m_strPath;
  platform::ReadOnlyFile m_file;
  std::uint32_t m_nDataStart = 0;
  std::uint8_t m_nHeaderFlag = 0;
  std::uint8_t m_nNameEncoding = 0;

private:
  // Refuses a damaged entry: tells it on standard error, if no damaged entry
  // was told since Open, and returns KAVREL_E_INFLATE.
  std::int32_t RefuseDamaged(const CDataPackageFile& entry, const std::string& why);

  // Name to index of its first entry; follows m_files.
  std::unordered_map<std::u16string, std::int32_t> m_index;
  // The file's length when it was opened; entries must lie inside it.
  std::uint64_t m_nFileSize = 0;
  bool m_bDamageTold = false;
};

}  // namespace kavrel
