// Opening packages: header and index parsing, its failures, name lookup.
#include <gtest/gtest.h>

#include "kavrel/format/data_package.h"
#include "test_packages.h"

namespace kavrel {
namespace {

using test::IndexRecord;
using test::PackageBytes;
using test::PackageHeader;
using test::Wide;

TEST(DataPackageOpen, AcceptsWellFormedAndRefusesInconsistentIndexes) {
  const std::string twoRecords = IndexRecord("a", 0, 0, 0, 3) + IndexRecord("bc", 1, 0, 3, 4);
  struct Case {
    const char* what;
    std::string bytes;
    PackageStatus result;
    std::int32_t entries;
  };
  const Case cases[] = {
      {"empty file", "", PackageStatus::kBadFormat, 0},
      {"shorter than the header", std::string("\xF0\x01\x00\x01", 4), PackageStatus::kBadFormat, 0},
      {"magic bytes swapped", std::string("\x01\xF0\x00\x01\x00\x00\x00\x00", 8), PackageStatus::kBadFormat, 0},
      {"empty index", PackageHeader(0), PackageStatus::kOk, 0},
      {"empty index, data after it", PackageHeader(0) + "xyz", PackageStatus::kOk, 0},
      {"index past the end of the file", PackageHeader(100) + twoRecords, PackageStatus::kBadFormat, 0},
      {"index size near 4 GiB", PackageHeader(0xFFFFFFF8u) + twoRecords, PackageStatus::kBadFormat, 0},
      {"two records", PackageBytes(twoRecords, "1234567"), PackageStatus::kOk, 2},
      {"two records, no data area", PackageBytes(twoRecords, ""), PackageStatus::kOk, 2},
      {"record runs past the index",
       PackageHeader(static_cast<std::uint32_t>(twoRecords.size() - 1)) + twoRecords,
       PackageStatus::kBadFormat, 0},
      {"one stray byte after the records", PackageBytes(twoRecords + "\x01", ""), PackageStatus::kBadFormat, 0},
      {"name length larger than the index", PackageBytes(std::string("\xFF\x00", 2) + "abc", ""),
       PackageStatus::kBadFormat, 0},
      {"record with an empty name", PackageBytes(IndexRecord("", 0, 0, 0, 0), ""), PackageStatus::kOk, 1},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    test::WriteBytes(dir / "p.bin", c.bytes);
    CDataPackage package;
    EXPECT_EQ(package.Open(Wide(dir / "p.bin")), c.result) << c.what;
    EXPECT_EQ(package.FileCount(), c.entries) << c.what;
    // Only a file that could not be opened at all is left closed.
    EXPECT_TRUE(package.IsOpen()) << c.what;
    EXPECT_EQ(package.Path(), Wide(dir / "p.bin")) << c.what;
  }
}

TEST(DataPackageOpen, ReadsEveryFieldOfHeaderAndRecords) {
  const std::string index = IndexRecord("first", 1, 0x7F, 0, 0x01020304) +
                            IndexRecord("second", 0, 0x80, 0xA0B0C0D0, 9);
  std::string bytes = PackageHeader(static_cast<std::uint32_t>(index.size()), 1, 0xAB) + index;
  test::TempDir dir;
  test::WriteBytes(dir / "p.bin", bytes);

  CDataPackage package;
  ASSERT_EQ(package.Open(Wide(dir / "p.bin")), PackageStatus::kOk);
  EXPECT_EQ(package.HeaderFlag(), 0xAB);
  EXPECT_EQ(package.NameEncoding(), 1);
  EXPECT_EQ(package.DataStart(), 8 + index.size());
  ASSERT_EQ(package.FileCount(), 2);

  const CDataPackageFile& first = package.File(0);
  EXPECT_EQ(first.State(), CDataPackageFile::kListed);
  EXPECT_EQ(package.NameOf(first), u"first");
  EXPECT_EQ(first.Method(), 1);
  EXPECT_EQ(first.Flag(), 0x7F);
  EXPECT_EQ(first.Offset(), 0u);
  EXPECT_EQ(first.StoredSize(), 0x01020304u);
  EXPECT_EQ(first.Size(), 0);
  EXPECT_EQ(first.Data(), nullptr);

  const CDataPackageFile& second = package.File(1);
  EXPECT_EQ(package.NameOf(second), u"second");
  EXPECT_EQ(second.Method(), 0);
  EXPECT_EQ(second.Flag(), 0x80);
  EXPECT_EQ(second.Offset(), 0xA0B0C0D0u);
  EXPECT_EQ(second.StoredSize(), 9u);

  package.Close();
  EXPECT_FALSE(package.IsOpen());
  EXPECT_TRUE(package.Path().empty());
  EXPECT_EQ(package.HeaderFlag(), 0);
  EXPECT_EQ(package.NameEncoding(), 0);
  // Closing keeps the directory.
  EXPECT_EQ(package.FileCount(), 2);
  EXPECT_EQ(package.FindFile(u"second"), 1);
}

TEST(EntryInFile, CountsFromTheDataStartWithoutWrapping) {
  struct Case {
    const char* what;
    std::uint64_t dataStart;
    std::uint32_t offset;
    std::uint32_t storedSize;
    std::uint64_t fileSize;
    bool inside;
  };
  const Case cases[] = {
      {"ends at the end of the file", 20, 5, 75, 100, true},
      {"one byte past it", 20, 5, 76, 100, false},
      {"starts at the end", 20, 80, 1, 100, false},
      {"stored size 0 far away", 20, 0xFFFFFFFFu, 0, 100, true},
      {"a sum that would wrap at 32 bits", 20, 0xFFFFFFF0u, 0x20, 100, false},
      {"the largest sizes", 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0x2FFFFFFFDu, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EntryInFile(c.dataStart, c.offset, c.storedSize, c.fileSize), c.inside) << c.what;
  }
}

TEST(DataPackageOpen, MissingFilesAndFoldersCannotBeOpened) {
  test::TempDir dir;
  CDataPackage package;
  EXPECT_EQ(package.Open(Wide(dir / "missing.bin")), PackageStatus::kNoFile);
  EXPECT_FALSE(package.IsOpen());
  EXPECT_EQ(package.Open(Wide(dir.Path())), PackageStatus::kNoFile);
  EXPECT_FALSE(package.IsOpen());
}

TEST(DataPackageOpen, NamesFollowTheHeaderEncoding) {
  const std::u16string tokyo = u"\u6771\u4EAC";
  const std::string utf8 = "\xE6\x9D\xB1\xE4\xBA\xAC";
  const std::string cp932 = "\x93\x8C\x8B\x9E";
  struct Case {
    const char* what;
    std::uint8_t encoding;
    std::string name;
    bool isTokyo;
  };
  const Case cases[] = {
      {"UTF-8 names", 1, utf8, true},
      {"code page 932 names", 0, cp932, true},
      {"unknown encodings read as code page 932", 7, cp932, true},
      {"UTF-8 bytes read as code page 932", 0, utf8, false},
      {"code page 932 bytes read as UTF-8", 1, cp932, false},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    test::WriteBytes(dir / "p.bin", PackageBytes(IndexRecord(c.name, 0, 0, 0, 0), "", c.encoding));
    CDataPackage package;
    ASSERT_EQ(package.Open(Wide(dir / "p.bin")), PackageStatus::kOk) << c.what;
    ASSERT_EQ(package.FileCount(), 1) << c.what;
    EXPECT_EQ(package.FileName(0) == tokyo, c.isTokyo) << c.what;
    EXPECT_EQ(package.FindFile(tokyo) == 0, c.isTokyo) << c.what;
  }
}

TEST(DataPackageOpen, ANameEndsAtAZeroByte) {
  test::TempDir dir;
  test::WriteBytes(dir / "p.bin",
                   PackageBytes(IndexRecord(std::string("ab\0cd", 5), 0, 0, 0, 0) +
                                    IndexRecord("next", 0, 0, 0, 0),
                                ""));
  CDataPackage package;
  ASSERT_EQ(package.Open(Wide(dir / "p.bin")), PackageStatus::kOk);
  ASSERT_EQ(package.FileCount(), 2);
  EXPECT_EQ(package.FileName(0), u"ab");
  EXPECT_EQ(package.FindFile(u"next"), 1);
}

TEST(DataPackageFind, FirstOfDuplicateNamesWinsAndCaseMatters) {
  pack::PackageWriter writer;
  writer.Add("/P/000000.gzbin", "one", kMethodStored);
  writer.Add("/C/000000.gzbin", "two", kMethodStored);
  writer.Add("/P/000000.gzbin", "three", kMethodStored);
  writer.Add("", "four", kMethodStored);
  test::TempDir dir;
  test::WriteBytes(dir / "p.bin", writer.Serialize());

  CDataPackage package;
  ASSERT_EQ(package.Open(Wide(dir / "p.bin")), PackageStatus::kOk);
  ASSERT_EQ(package.FileCount(), 4);
  struct Case {
    std::u16string name;
    std::int32_t index;
  };
  const Case cases[] = {
      {u"/P/000000.gzbin", 0}, {u"/C/000000.gzbin", 1}, {u"", 3},
      {u"/p/000000.gzbin", -1}, {u"/P/000000.GZBIN", -1},
      {u"/P/000000.gzbin ", -1}, {u"/P/000000.gzbi", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(package.FindFile(c.name), c.index) << std::string(c.name.begin(), c.name.end());
  }
}

TEST(DataPackageOpen, SecondOpenWithoutCloseChangesNothing) {
  pack::PackageWriter first;
  first.Add("a", "first", kMethodStored);
  pack::PackageWriter second;
  second.Add("b", "second", kMethodStored);
  test::TempDir dir;
  test::WriteBytes(dir / "1.bin", first.Serialize());
  test::WriteBytes(dir / "2.bin", second.Serialize());

  CDataPackage package;
  ASSERT_EQ(package.Open(Wide(dir / "1.bin")), PackageStatus::kOk);
  EXPECT_EQ(package.Open(Wide(dir / "2.bin")), PackageStatus::kAlreadyOpen);
  EXPECT_EQ(package.Path(), Wide(dir / "1.bin"));
  EXPECT_EQ(package.FindFile(u"a"), 0);
  EXPECT_EQ(package.FindFile(u"b"), -1);
  ASSERT_EQ(package.LoadFile(u"a"), PackageStatus::kOk);
  const CDataPackageFile& entry = package.File(0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry.Data()), entry.Size()), "first");
}

TEST(DataPackageOpen, OpenAfterCloseStartsFromAnEmptyDirectory) {
  // Same names, different layouts: an old entry left in the directory would
  // be read at its old offset from the new file.
  pack::PackageWriter first;
  first.Add("shared", "old-old-old", kMethodStored);
  first.Add("only-old", "x", kMethodStored);
  pack::PackageWriter second;
  second.Add("padding", "0123456789", kMethodStored);
  second.Add("shared", "new", kMethodDeflate);
  test::TempDir dir;
  test::WriteBytes(dir / "1.bin", first.Serialize());
  test::WriteBytes(dir / "2.bin", second.Serialize());
  test::WriteBytes(dir / "bad.bin", "not a package");

  CDataPackage package;
  ASSERT_EQ(package.Open(Wide(dir / "1.bin")), PackageStatus::kOk);
  ASSERT_EQ(package.LoadFile(u"shared"), PackageStatus::kOk);
  package.Close();

  ASSERT_EQ(package.Open(Wide(dir / "2.bin")), PackageStatus::kOk);
  EXPECT_EQ(package.FileCount(), 2);
  EXPECT_EQ(package.FindFile(u"only-old"), -1);
  ASSERT_EQ(package.FindFile(u"shared"), 1);
  ASSERT_EQ(package.LoadFile(u"shared"), PackageStatus::kOk);
  const CDataPackageFile& entry = package.File(1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry.Data()), entry.Size()), "new");

  // A file that fails to open as a package leaves nothing of the old one.
  package.Close();
  EXPECT_EQ(package.Open(Wide(dir / "bad.bin")), PackageStatus::kBadFormat);
  EXPECT_EQ(package.FileCount(), 0);
  EXPECT_EQ(package.FindFile(u"shared"), -1);
}

}  // namespace
}  // namespace kavrel
