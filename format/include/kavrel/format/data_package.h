// The data package: an archive of named entries, each stored or raw-deflated,
// in the layout of package_layout.h. This is how the engine reads packages,
// and kavrel-pack verify reads them the same way.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kavrel/format/package_layout.h"
#include "kavrel/format/package_status.h"
#include "kavrel/platform/files.h"

namespace kavrel {

// One entry of the package directory. Owns its data; move-only. Only the
// package fills it; its users read it and may drop its data.
class CDataPackageFile {
public:
  enum State : std::int32_t { kBlank = 0, kListed = 1, kLoaded = 2 };

  CDataPackageFile() = default;
  CDataPackageFile(CDataPackageFile&&) noexcept = default;
  CDataPackageFile& operator=(CDataPackageFile&&) noexcept = default;
  CDataPackageFile(const CDataPackageFile&) = delete;
  CDataPackageFile& operator=(const CDataPackageFile&) = delete;

  // A listed entry whose name is `nameLength` code units at `nameStart` in
  // its package's names, with the method, flag, offset and stored size of
  // `record`; no data.
  static CDataPackageFile Listed(std::uint32_t nameStart, std::uint16_t nameLength, const IndexRecord& record);

  // Drops the data in memory: no data, size 0, state listed.
  void ReleaseData();

  // kBlank until the package lists it, kListed while its data is not in
  // memory, kLoaded while it is.
  std::int32_t State() const { return m_nState; }
  bool IsLoaded() const { return m_nState == kLoaded; }
  // The index record's fields: stored size in bytes, offset from the data
  // start, method (0 stored, 1 raw deflate) and flag.
  std::uint32_t StoredSize() const { return m_nStoredSize; }
  std::uint32_t Offset() const { return m_nOffset; }
  std::uint8_t Method() const { return m_nMethod; }
  std::uint8_t Flag() const { return m_nFlag; }
  // Whether some of its stored bytes are also another entry's (an entry of
  // stored size 0 has none; one reaching past the end of the file is not
  // counted). Such an entry is damaged: LoadFile refuses it.
  bool SharesBytes() const { return m_bSharesBytes; }
  // The data in memory, owned by the entry and valid until it is released
  // or replaced: null when there is none. Size() is its length in bytes, 0
  // while not loaded; an entry of an unknown method is loaded with its
  // stored bytes as data and size 0.
  const std::uint8_t* Data() const { return m_pData.get(); }
  std::int32_t Size() const { return m_nSize; }
  // Data() and Size() as one view; empty when there is no data.
  std::string_view Bytes() const {
    return m_pData && m_nSize > 0
               ? std::string_view(reinterpret_cast<const char*>(m_pData.get()), static_cast<std::size_t>(m_nSize))
               : std::string_view();
  }

private:
  friend class CDataPackage;

  // Packed to 32 bytes: an index of millions of records costs little more
  // than its own size (the names live in the package, once).
  std::unique_ptr<std::uint8_t[]> m_pData;
  std::uint32_t m_nStoredSize = 0;
  std::uint32_t m_nOffset = 0;       // relative to the data start
  std::int32_t m_nSize = 0;          // bytes in m_pData; 0 while not loaded
  std::uint32_t m_nNameStart = 0;    // in the package's names
  std::uint16_t m_nNameLength = 0;   // code units
  std::uint8_t m_nState = kBlank;
  std::uint8_t m_nMethod = 0;        // 0 stored, 1 raw deflate
  std::uint8_t m_nFlag = 0;
  bool m_bSharesBytes = false;
};

// The open package: its directory, file and entries.
class CDataPackage {
public:
  CDataPackage() = default;
  CDataPackage(const CDataPackage&) = delete;
  CDataPackage& operator=(const CDataPackage&) = delete;

  // Opens the package at `path` (UTF-16; converted to the native path encoding)
  // and reads its directory. kOk; kAlreadyOpen when a package is open already
  // (nothing changes); kNoFile when the file cannot be opened (also when
  // memory for the index runs out; the file is then closed); kBadFormat for a
  // file shorter than its header, a wrong magic, or an index that runs past
  // the end of the file or holds a record that runs past the end of the index
  // (the file stays open, the directory empty). Every open past the
  // kAlreadyOpen test starts from an empty directory, dropping earlier entries
  // and their data. Other readers of the file are not refused.
  PackageStatus Open(const std::u16string& path);

  // Closes the file and empties the path and header bytes. The directory and
  // the data in memory stay.
  void Close();

  // True from a successful file open in Open until Close.
  bool IsOpen() const { return m_file.IsOpen(); }

  // Index of the first entry whose name equals `name` exactly (code unit by
  // code unit), or -1. Only Open changes which names the directory holds.
  // Allocates nothing.
  std::int32_t FindFile(std::u16string_view name) const;

  // Brings the entry into memory (inflating a method-1 entry). kOk when it is
  // in memory afterwards (or has stored size 0); kNoEntry for an unknown name;
  // kNoFile while the file is closed; kNoDecompressor when the inflater cannot
  // start; kDamaged when the stream does not inflate to its end (also for a
  // read error or memory exhaustion). A damaged entry also fails with
  // kDamaged, allocating nothing for its data: one whose stored bytes reach
  // past the end of the file as it was at Open (an entry of stored size 0
  // never is), one that shares stored bytes with another entry, or one
  // whose data would be larger than MaxEntryContent of its stored size
  // (entry_cap.h), stored or inflated. The first damaged entry after each
  // Open is named in one line on standard error. On failure the entry stays
  // listed. A loaded entry is returned from memory without touching the
  // file, even when it is closed. Bytes a read misses because the file shrank
  // after Open are zeros.
  PackageStatus LoadFile(std::u16string_view name);

  // Reads the whole file into memory, so that DecodeEntry can decode entries
  // after Close. kOk, or kNoFile when the package is not open or cannot be
  // read whole. Throws std::bad_alloc. The next Open drops it.
  PackageStatus ReadImage();

  // The data of the entry at `index` in [0, FileCount()), decoded from the
  // bytes ReadImage read, into `data` (`size` bytes; an empty entry gives no
  // data and size 0) without changing the package, so that any number of
  // threads may decode at once. Answers as LoadFile would for the entry,
  // with the same checks, but kNoFile when no image was read; it tells no
  // damage on standard error. Throws std::bad_alloc.
  PackageStatus DecodeEntry(std::int32_t index, std::unique_ptr<std::uint8_t[]>& data, std::int32_t& size) const;

  // Drops the entry's data. kOk; kNoEntry for an unknown name; kNotLoaded
  // when the entry is not loaded.
  PackageStatus UnloadFile(std::u16string_view name);

  // LoadFile for every entry by its name, in directory order. Failures of
  // single entries are ignored; they stay listed.
  void LoadAll();

  // The number of entries, and the entry at `index` in [0, FileCount()).
  // Take an index from FindFile and use it before the next Open, which
  // replaces the directory; an index out of range is undefined behaviour.
  std::int32_t FileCount() const { return static_cast<std::int32_t>(m_files.size()); }
  // The name of an entry of this package's directory, decoded from its
  // index record and cut at its first zero; valid until the next Open.
  std::u16string_view NameOf(const CDataPackageFile& entry) const {
    return std::u16string_view(m_names).substr(entry.m_nNameStart, entry.m_nNameLength);
  }
  std::u16string_view FileName(std::int32_t index) const { return NameOf(File(index)); }
  CDataPackageFile& File(std::int32_t index) { return m_files[static_cast<std::size_t>(index)]; }
  const CDataPackageFile& File(std::int32_t index) const { return m_files[static_cast<std::size_t>(index)]; }

  // The path given to the last Open, until Close; the header's flag and name
  // encoding bytes, 0 after Close; the file offset of the data area (8 plus
  // the index size), kept after Close.
  const std::u16string& Path() const { return m_strPath; }
  std::uint8_t HeaderFlag() const { return m_nHeaderFlag; }
  std::uint8_t NameEncoding() const { return m_nNameEncoding; }
  std::uint32_t DataStart() const { return m_nDataStart; }

private:
  // Refuses a damaged entry: tells it on standard error, if no damaged entry
  // was told since Open, and returns PackageStatus::kDamaged.
  PackageStatus RefuseDamaged(const CDataPackageFile& entry, const std::string& why);
  // Why the stored bytes of `entry` cannot be read: they reach past the end
  // of the file, overlap another entry's or exceed the entry cap. Empty when
  // they can.
  std::string Damage(const CDataPackageFile& entry) const;

  // Marks every entry of `files` whose stored bytes, in a data area at file
  // offset `dataStart`, overlap another entry's. Only entries that lie
  // inside the file (of `fileSize` bytes) count: one that reaches past its
  // end is damaged anyway. Throws std::bad_alloc.
  static void MarkSharedBytes(std::vector<CDataPackageFile>& files, std::uint64_t dataStart,
                              std::uint64_t fileSize);

  // Parses `index` into `files` (their names appended to `names`) and
  // lists each name's first entry in `table`. False for a record that runs
  // past the end of the index. Throws std::bad_alloc, and
  // std::runtime_error when a converter for the names is missing.
  static bool ListEntries(std::string_view index, std::uint8_t nameEncoding, std::vector<CDataPackageFile>& files,
                          std::u16string& names, std::vector<std::int32_t>& table);
  // The slot of `name` in `table` (as ListEntries made it over `files` and
  // `names`): the slot holding its first entry, or the empty slot where it
  // would go.
  static std::size_t Slot(const std::vector<std::int32_t>& table, const std::vector<CDataPackageFile>& files,
                          const std::u16string& names, std::u16string_view name);

  std::vector<CDataPackageFile> m_files;
  std::u16string m_names;  // every entry's name, one after another
  std::u16string m_strPath;
  platform::ReadOnlyFile m_file;
  std::uint32_t m_nDataStart = 0;
  std::uint8_t m_nHeaderFlag = 0;
  std::uint8_t m_nNameEncoding = 0;

  // Open addressing from a name to its first entry (-1: an empty slot); a
  // power of two in size, at most half full.
  std::vector<std::int32_t> m_table;
  // The file's length when it was opened; entries must lie inside it.
  std::uint64_t m_nFileSize = 0;
  bool m_bDamageTold = false;
  std::vector<std::uint8_t> m_image;  // the whole file, after ReadImage
};

}  // namespace kavrel
