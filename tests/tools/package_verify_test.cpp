// Verifying packages: a sound one passes, and every kind of damage the
// verifier claims to find is found in a package crafted with that damage.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#if !defined(_WIN32)
#include "fifo.h"
#endif
#include "kavrel/platform/text.h"
#include "pack_error.h"
#include "kavrel/format/entry_cap.h"
#include "package_index.h"
#include "package_list.h"
#include "package_verify.h"
#include "test_packages.h"

namespace kavrel::pack {
namespace {

using kavrel::test::NameBlock;
using kavrel::test::PointBlock;
using kavrel::test::TempDir;
using kavrel::test::WriteBytes;
using Names = std::vector<std::pair<std::uint32_t, std::string>>;  // texts in code page 932

std::string Sjis(const std::u16string& text) { return platform::Utf16ToCp932(text); }

// A small sound package, as parts that each case can spoil.
struct Sample {
  std::string pointName = "/L3/5/LLP35680000.gzbin";
  std::vector<kavrel::test::Point> points = {{35681236, 139767125, 1, 1, 1}, {35689000, 139700000, 1, 2, 1002}};
  std::string pointTail;  // bytes after the records
  Names prefectures = {{1, Sjis(u"東京都")}};
  Names cities = {{1, Sjis(u"千代田区")}, {2, Sjis(u"新宿区")}};
  std::string cityTail;
  std::string areaName = "/S/000000.gzbin";
  Names areas = {{1, Sjis(u"丸の内一丁目")}};
  std::string secondAreaName = "/S/001000.gzbin";
  Names secondAreas = {{1002, Sjis(u"西新宿")}};
  std::function<void(PackageWriter&)> more = [](PackageWriter&) {};

  std::string Bytes() const {
    PackageWriter writer;
    writer.Add(pointName, PointBlock(points) + pointTail);
    writer.Add("/P/000000.gzbin", NameBlock(prefectures));
    writer.Add("/C/000000.gzbin", NameBlock(cities) + cityTail);
    writer.Add(areaName, NameBlock(areas));
    writer.Add(secondAreaName, NameBlock(secondAreas));
    more(writer);
    return writer.Serialize();
  }
};

// Sets the 32-bit offset (field 0) or stored size (field 1) of the index
// record named `name` in the package `bytes`; they follow the name, the
// method and the flag.
void SetRecordField(std::string& bytes, const std::string& name, int field, std::uint32_t value) {
  const std::size_t at = bytes.find(name) + name.size() + 2 + 4 * static_cast<std::size_t>(field);
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

std::string Joined(const std::vector<std::string>& problems) {
  std::string text;
  for (const std::string& problem : problems) text += problem + "\n";
  return text;
}

TEST(VerifyPackage, ASoundPackagePasses) {
  TempDir dir;
  WriteBytes(dir / "p.bin", Sample().Bytes());
  const VerifyReport report = VerifyPackage(dir / "p.bin");
  EXPECT_TRUE(report.Sound()) << Joined(report.problems);
  EXPECT_EQ(report.entries, 5u);
  EXPECT_EQ(report.pointBlocks, 1u);
  EXPECT_EQ(report.nameBlocks, 4u);
  EXPECT_EQ(report.points, 2u);
  EXPECT_EQ(FormatVerdict("p.bin", report), "p.bin: sound: 5 entries, 1 point blocks with 2 points, 4 name blocks");
}

TEST(VerifyPackage, FindsEveryKindOfDamage) {
  using Spoil = std::function<std::string()>;
  auto with = [](std::function<void(Sample&)> change) {
    return [change]() {
      Sample sample;
      change(sample);
      return sample.Bytes();
    };
  };
  auto bytesWith = [](std::function<void(std::string&)> change) {
    return [change]() {
      std::string bytes = Sample().Bytes();
      change(bytes);
      return bytes;
    };
  };
  const struct Case {
    const char* damage;
    Spoil make;
    const char* found;
  } cases[] = {
      {"shorter than a header", [] { return std::string("\xF0\x01\x00", 3); }, "fewer than the 8-byte header"},
      {"wrong magic", bytesWith([](std::string& b) { b[1] = 0x02; }), "magic F0 01"},
      {"index past the file", bytesWith([](std::string& b) { b[6] = 0x7F; }), "the index"},
      {"record past the index", bytesWith([](std::string& b) { b[4] = static_cast<char>(b[4] - 3); }),
       "runs past the end of the index"},
      {"data past the file", bytesWith([](std::string& b) { b.resize(b.size() - 4); }),
       "/S/001000.gzbin: its data"},
      {"duplicate name",
       with([](Sample& s) { s.more = [](PackageWriter& w) { w.Add("/C/000000.gzbin", "x"); }; }),
       "/C/000000.gzbin: entry 5 has the name of entry 2"},
      {"no inflation",
       with([](Sample& s) { s.more = [](PackageWriter& w) { w.AddStored("/L3/5/LLP35690000.gzbin", "\xFF\xFF\xFF", 1); }; }),
       "/L3/5/LLP35690000.gzbin: the engine cannot load it"},
      {"unknown method",
       with([](Sample& s) { s.more = [](PackageWriter& w) { w.AddStored("/L3/5/LLP35700000.gzbin", "", 7); }; }),
       "stored with method 7"},
      {"size not a multiple of 15", with([](Sample& s) { s.pointTail = "1234"; }), "34 bytes, not a multiple of 15"},
      {"descending latitude", with([](Sample& s) { std::swap(s.points[0], s.points[1]); }),
       "1 records are not in ascending latitude (first: record 1"},
      {"record outside its band", with([](Sample& s) { s.points[1].lat = 35690000; }),
       "1 records lie outside the band"},
      {"longitude 0", with([](Sample& s) { s.points[0].lon = 0; }), "longitude 0"},
      {"P key without a name", with([](Sample& s) { s.points[1].pref = 2; }),
       "1 records have a P key without a name (first: record 1, P key 2)"},
      {"C key without a name", with([](Sample& s) { s.points[0].city = 9; }), "C key without a name"},
      {"S key without a name", with([](Sample& s) { s.points[0].area = 3; }), "S key 3"},
      {"empty name", with([](Sample& s) { s.prefectures = {{1, ""}, {1, Sjis(u"東京都")}}; }),
       "2 records have a P key without a name"},
      {"S key in the wrong block", with([](Sample& s) { s.areas.push_back({1500, "x"}); }),
       "/S/000000.gzbin: 1 records hold keys that the engine looks for in another block (first: record 1, key 1500)"},
      {"S block missing", with([](Sample& s) { s.secondAreaName = "/X/001000.gzbin"; }), "S key 1002"},
      {"name record past the block", with([](Sample& s) { s.cityTail = std::string("\x03\x00\x00\x00\x09" "abc", 8); }),
       "/C/000000.gzbin: its last record runs past the end of the block"},
      {"invalid code page 932", with([](Sample& s) { s.cities[1].second = "\x81"; }),
       "/C/000000.gzbin: 1 names are not valid code page 932 text (first: record 1, key 2)"},
      {"point block named wrongly", with([](Sample& s) { s.pointName = "/L/3/5/LLP35680000.gzbin"; }),
       "/L/3/5/LLP35680000.gzbin: named like a point block"},
      {"point block of another band", with([](Sample& s) { s.pointName = "/L3/5/LLP35685000.gzbin"; }),
       "named like a point block"},
      {"name block named wrongly", with([](Sample& s) { s.areaName = "/S/1000.gzbin"; }),
       "/S/1000.gzbin: named like a name block"},
      {"no point blocks", with([](Sample& s) { s.pointName = "/readme"; }), "holds no point blocks"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    WriteBytes(dir / "p.bin", c.make());
    const VerifyReport report = VerifyPackage(dir / "p.bin");
    EXPECT_FALSE(report.Sound()) << c.damage;
    EXPECT_NE(Joined(report.problems).find(c.found), std::string::npos)
        << c.damage << " not told; problems:\n" << Joined(report.problems);
    EXPECT_EQ(FormatVerdict("p.bin", report).rfind("p.bin: damaged: ", 0), 0u) << c.damage;
  }
}

TEST(VerifyPackage, EntriesTheEngineRefusesAreReportedAndEmptyOnesAnywhereAreNot) {
  const std::string zeros(kMaxEntryBytes + std::size_t{1}, '\0');
  const auto withEntry = [](std::string name, std::string stored, std::uint32_t offset) {
    Sample sample;
    sample.more = [=](PackageWriter& w) { w.AddStored(name, stored, kMethodDeflate); };
    std::string bytes = sample.Bytes();
    SetRecordField(bytes, name, 0, offset);
    return bytes;
  };
  std::string sound = Sample().Bytes();
  const std::uint32_t end = static_cast<std::uint32_t>(sound.size() - ReadPackageIndex(sound).dataStart);
  const struct Case {
    const char* what;
    std::string bytes;
    const char* found;  // null: sound
  } cases[] = {
      {"inflates past the cap", withEntry("/readme", RawDeflate(zeros, 1), end),
       "/readme: the engine cannot load it (damaged: a damaged stream, or more than 64 times its stored size or 67108864 bytes inflated)"},
      {"size 0 far away", withEntry("/readme", "", 0xFFFFFF00u), nullptr},
      {"reaches past the end", withEntry("/L3/5/LLP35690000.gzbin", "x", end + 1), "its data (1 bytes"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    WriteBytes(dir / "p.bin", c.bytes);
    testing::internal::CaptureStderr();
    const VerifyReport report = VerifyPackage(dir / "p.bin");
    testing::internal::GetCapturedStderr();
    if (c.found == nullptr) {
      EXPECT_TRUE(report.Sound()) << c.what << ":\n" << Joined(report.problems);
    } else {
      EXPECT_NE(Joined(report.problems).find(c.found), std::string::npos) << c.what << ":\n" << Joined(report.problems);
    }
  }
}

TEST(VerifyPackage, EntriesSharingStoredBytesOrInflatingFarBeyondThemAreDamaged) {
  Sample sample;
  sample.more = [](PackageWriter& w) {
    w.Add("/first", "a stream of its own");
    w.Add("/second", "another stream");
    w.Add("/third", "a third stream");
    // About 300 to 1 where real blocks reach 5.
    w.Add("/repeated", std::string(100000, 'a'));
  };
  std::string bytes = sample.Bytes();
  const PackageIndex index = ReadPackageIndex(bytes);
  ASSERT_EQ(index.entries.size(), 9u);
  // The second entry takes the first one's bytes, the third the end of them.
  SetRecordField(bytes, "/second", 0, index.entries[5].offset);
  SetRecordField(bytes, "/second", 1, index.entries[5].storedSize);
  SetRecordField(bytes, "/third", 0, index.entries[5].offset + 1);
  TempDir dir;
  WriteBytes(dir / "p.bin", bytes);
  testing::internal::CaptureStderr();
  const VerifyReport report = VerifyPackage(dir / "p.bin");
  testing::internal::GetCapturedStderr();
  const std::string problems = Joined(report.problems);
  for (const char* name : {"/first", "/second", "/third"}) {
    EXPECT_NE(problems.find(std::string(name) + ": its stored bytes overlap those of another entry"), std::string::npos)
        << name << ":\n" << problems;
  }
  EXPECT_NE(problems.find("/repeated: the engine cannot load it (damaged"), std::string::npos) << problems;
  EXPECT_EQ(report.problems.size(), 4u) << problems;
}

TEST(VerifyAndList, AMissingFileAFolderOrNoFileAtAllIsNamedAsSuchNotCalledDamaged) {
  TempDir dir;
  std::filesystem::create_directory(dir / "folder");
  const std::string notAFile = ": is not a regular file (a FIFO, socket or device); a package is read from a file";
  const std::string device = kavrel::test::kNullDevice;
  struct Case { std::string path, says; };
  std::vector<Case> cases = {
      {dir / "absent.bin", dir / "absent.bin: no such file"},
      {dir / "folder", dir / "folder: is a folder, not a file"},
      {device, device + notAFile},
  };
#if !defined(_WIN32)
  // Refused at once, not waited on for a writer.
  kavrel::test::FifoWithoutWriter fifo(dir / "fifo.bin");
  cases.push_back({dir / "fifo.bin", dir / "fifo.bin" + notAFile});
#endif
  for (const Case& c : cases) {
    try {
      VerifyPackage(c.path);
      ADD_FAILURE() << "verified " << c.path;
    } catch (const PackError& error) {
      EXPECT_EQ(error.what(), c.says);
    }
    std::ostringstream out, errors;
    try {
      ListPackage(c.path, out, errors);
      ADD_FAILURE() << "listed " << c.path;
    } catch (const PackError& error) {
      EXPECT_EQ(error.what(), c.says);
    }
  }
#if !defined(_WIN32)
  EXPECT_FALSE(fifo.ReleasedAWaitingReader());
#endif
}

TEST(ListPackage, OneLinePerEntryAndATotal) {
  PackageWriter writer;
  writer.AddStored("/L3/5/LLP35680000.gzbin", std::string(30, 'x'), 1);
  writer.AddStored("/P/000000.gzbin", "abcde", 0);
  writer.AddStored("odd", "", 7);
  TempDir dir;
  const std::string bytes = writer.Serialize();
  WriteBytes(dir / "p.bin", bytes);
  std::ostringstream out, errors;
  EXPECT_EQ(ListPackage(dir / "p.bin", out, errors), 0);
  EXPECT_EQ(out.str(),
            "/L3/5/LLP35680000.gzbin  deflate          30          0\n"
            "/P/000000.gzbin          stored            5         30\n"
            "odd                      method 7          0         35\n"
            "3 entries, 35 bytes stored, " + std::to_string(bytes.size()) + " bytes in the file\n");
  EXPECT_EQ(errors.str(), "");
}

TEST(ListPackage, ADamagedIndexIsListedAsFarAsItGoesAndFails) {
  PackageWriter writer;
  writer.AddStored("/P/000000.gzbin", "abcde", 0);
  writer.AddStored("/C/000000.gzbin", "fgh", 0);
  std::string bytes = writer.Serialize();
  bytes[4] = static_cast<char>(bytes[4] - 1);  // the second record now overruns the index
  TempDir dir;
  WriteBytes(dir / "p.bin", bytes);
  std::ostringstream out, errors;
  EXPECT_EQ(ListPackage(dir / "p.bin", out, errors), 1);
  EXPECT_EQ(out.str().substr(0, 16), "/P/000000.gzbin ");
  EXPECT_NE(out.str().find("1 entries"), std::string::npos) << out.str();
  EXPECT_EQ(errors.str(), dir / "p.bin: the index record at byte 35 runs past the end of the index\n");
}

}  // namespace
}  // namespace kavrel::pack
