// Building packages from CSV files: what lands in the blocks, determinism,
// and the refusal of bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "kavrel/platform/text.h"
#include "pack_error.h"
#include "pack_test_helpers.h"
#include "package_build.h"
#include "package_index.h"
#include "package_list.h"
#include "package_verify.h"
#include "test_support.h"

namespace kavrel::pack {
namespace {

using kavrel::test::ReadBytes;
using kavrel::test::TempDir;
using kavrel::test::WriteBytes;
using test::kCsvHeader;
using test::PackageReader;

// Keys are numbered in order of first appearance; the expectations below
// are worked out by hand from that rule.
const char* const kTownsCsv =
    "latitude,longitude,prefecture,city,area\n"
    "35.681236,139.767125,東京都,千代田区,丸の内一丁目\n"
    "34.702485,135.495951,大阪府,大阪市北区,梅田三丁目\n"
    "35.681236,139.767000,東京都,千代田区,丸の内二丁目\n"
    "35.6799996,139.700000,東京都,新宿区,丸の内一丁目\n"  // rounds up into band 35680000
    "35.689487,139.691706,東京都,新宿区,西新宿二丁目\n"
    "35.668750,139.477700,東京都,府中市,宮西町\n"
    "34.568200,133.236600,広島県,府中市,府川町\n";

std::vector<std::string> Files(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(dir.Path())) {
    names.push_back(item.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PackageBuild, EveryBlockReadsBackAsWritten) {
  TempDir dir;
  WriteBytes(dir / "towns.csv", kTownsCsv);
  const BuildSummary summary = BuildPackage(dir / "towns.csv", dir / "out.bin");
  EXPECT_EQ(summary.points, 7u);
  EXPECT_EQ(summary.prefectures, 3u);
  EXPECT_EQ(summary.cities, 5u);  // 府中市 twice: a city is told apart by its prefecture
  EXPECT_EQ(summary.areas, 6u);   // 丸の内一丁目 twice: one S key per text
  EXPECT_EQ(summary.entries, 7u);
  EXPECT_EQ(summary.outsideArea, 0u);
  const std::string bytes = ReadBytes(dir / "out.bin");
  EXPECT_EQ(summary.bytes, bytes.size());
  // Names in UTF-8, every entry raw-deflated.
  const PackageIndex index = ReadPackageIndex(bytes);
  EXPECT_TRUE(index.problems.empty());
  EXPECT_EQ(index.nameEncoding, 1);
  for (const IndexEntry& entry : index.entries) EXPECT_EQ(entry.method, 1) << entry.displayName;

  PackageReader package(dir / "out.bin");
  EXPECT_EQ(package.EntryNames(),
            (std::vector<std::string>{"/L3/4/LLP34560000.gzbin", "/L3/4/LLP34700000.gzbin",
                                      "/L3/5/LLP35660000.gzbin", "/L3/5/LLP35680000.gzbin",
                                      "/P/000000.gzbin", "/C/000000.gzbin", "/S/000000.gzbin"}));
  using P = PointRecord;
  EXPECT_EQ(package.Points("/L3/4/LLP34560000.gzbin"), (std::vector<P>{{34568200, 133236600, 3, 5, 0, 6}}));
  EXPECT_EQ(package.Points("/L3/4/LLP34700000.gzbin"), (std::vector<P>{{34702485, 135495951, 2, 2, 0, 2}}));
  EXPECT_EQ(package.Points("/L3/5/LLP35660000.gzbin"), (std::vector<P>{{35668750, 139477700, 1, 4, 0, 5}}));
  // Ascending latitude; the tie at 35681236 is broken by longitude.
  EXPECT_EQ(package.Points("/L3/5/LLP35680000.gzbin"),
            (std::vector<P>{{35680000, 139700000, 1, 3, 0, 1},
                            {35681236, 139767000, 1, 1, 0, 3},
                            {35681236, 139767125, 1, 1, 0, 1},
                            {35689487, 139691706, 1, 3, 0, 4}}));

  using N = std::vector<std::pair<std::uint32_t, std::u16string>>;
  EXPECT_EQ(package.Names("/P/000000.gzbin"), (N{{1, u"東京都"}, {2, u"大阪府"}, {3, u"広島県"}}));
  EXPECT_EQ(package.Names("/C/000000.gzbin"),
            (N{{1, u"千代田区"}, {2, u"大阪市北区"}, {3, u"新宿区"}, {4, u"府中市"}, {5, u"府中市"}}));
  EXPECT_EQ(package.Names("/S/000000.gzbin"), (N{{1, u"丸の内一丁目"}, {2, u"梅田三丁目"}, {3, u"丸の内二丁目"},
                                                  {4, u"西新宿二丁目"}, {5, u"宮西町"}, {6, u"府川町"}}));
}

TEST(PackageBuild, AreaNamesSplitIntoBlocksOfAThousandKeys) {
  TempDir dir;
  std::string csv = kCsvHeader;
  for (int i = 1; i <= 2500; ++i) csv += "35.0,139.0,東京都,千代田区,町" + std::to_string(i) + "\n";
  WriteBytes(dir / "areas.csv", csv);
  BuildPackage(dir / "areas.csv", dir / "out.bin");

  PackageReader package(dir / "out.bin");
  const struct { const char* block; std::uint32_t first, last; } blocks[] = {
      {"/S/000000.gzbin", 1, 999}, {"/S/001000.gzbin", 1000, 1999}, {"/S/002000.gzbin", 2000, 2500}};
  for (const auto& b : blocks) {
    const auto names = package.Names(b.block);
    ASSERT_EQ(names.size(), b.last - b.first + 1) << b.block;
    EXPECT_EQ(names.front().first, b.first) << b.block;
    EXPECT_EQ(names.back().first, b.last) << b.block;
    EXPECT_EQ(names.back().second, u"町" + platform::Utf8ToUtf16(std::to_string(b.last))) << b.block;
  }
  EXPECT_EQ(package.Points("/L3/5/LLP35000000.gzbin").size(), 2500u);
}

TEST(PackageBuild, SameInputGivesIdenticalBytes) {
  TempDir dir;
  WriteBytes(dir / "towns.csv", kTownsCsv);
  BuildPackage(dir / "towns.csv", dir / "first.bin");
  BuildPackage(dir / "towns.csv", dir / "second.bin");
  EXPECT_EQ(ReadBytes(dir / "first.bin"), ReadBytes(dir / "second.bin"));
}

TEST(PackageBuild, PointsOutsideTheAreaBoxAreKeptAndCounted) {
  TempDir dir;
  WriteBytes(dir / "islands.csv", std::string(kCsvHeader) +
                                      "24.285000,153.980000,東京都,小笠原村,南鳥島\n"
                                      "20.425000,136.081000,東京都,小笠原村,沖ノ鳥島\n"
                                      "27.094000,142.191000,東京都,小笠原村,父島\n");
  const BuildSummary summary = BuildPackage(dir / "islands.csv", dir / "out.bin");
  EXPECT_EQ(summary.points, 3u);
  EXPECT_EQ(summary.outsideArea, 2u);
  PackageReader package(dir / "out.bin");
  EXPECT_EQ(package.Points("/L2/0/LLP20420000.gzbin").size(), 1u);
  EXPECT_EQ(package.Points("/L2/4/LLP24280000.gzbin").size(), 1u);
}

// The credits of the source data: a last entry, stored as given, that the
// listing shows and the verification accepts; text that is not UTF-8 is
// refused before anything is written.
TEST(PackageBuild, AttributionIsALastStoredEntry) {
  TempDir dir;
  WriteBytes(dir / "towns.csv", kTownsCsv);
  const std::string credits = "出典: 位置参照情報 (CC BY 4.0)\nline two\n";
  const BuildSummary summary = BuildPackage(dir / "towns.csv", dir / "out.bin", credits);
  EXPECT_EQ(summary.entries, 8u);

  const PackageIndex index = ReadPackageIndex(ReadBytes(dir / "out.bin"));
  ASSERT_EQ(index.entries.size(), 8u);
  EXPECT_EQ(index.entries.back().displayName, kAttributionEntry);
  EXPECT_EQ(index.entries.back().method, 0);
  PackageReader package(dir / "out.bin");
  EXPECT_EQ(package.Content(kAttributionEntry), credits);
  EXPECT_EQ(package.Points("/L3/5/LLP35680000.gzbin").size(), 4u);

  const VerifyReport report = VerifyPackage(dir / "out.bin");
  EXPECT_TRUE(report.Sound()) << ::testing::PrintToString(report.problems);
  EXPECT_EQ(report.points, 7u);
  std::ostringstream listing, errors;
  EXPECT_EQ(ListPackage(dir / "out.bin", listing, errors), 0);
  EXPECT_NE(listing.str().find("/ATTRIBUTION.txt         stored"), std::string::npos) << listing.str();

  try {
    BuildPackage(dir / "towns.csv", dir / "bad.bin", "credits \xFF\xFE");
    ADD_FAILURE() << "accepted an attribution that is not UTF-8";
  } catch (const PackError& error) {
    EXPECT_NE(std::string(error.what()).find("attribution is not valid UTF-8"), std::string::npos) << error.what();
  }
  EXPECT_EQ(Files(dir), (std::vector<std::string>{"out.bin", "towns.csv"}));
}

// Each bad input names its line (0: none), and no package (and no temporary
// file) is left behind.
std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

TEST(PackageBuild, BadInputIsRefusedWithItsLineAndLeavesNothing) {
  const std::string good = "35.0,139.0,東京都,千代田区,丸の内一丁目\n";
  const std::string tooLong(3 * 86, 'x');  // 258 bytes, all single-byte
  std::string prefectures = kCsvHeader;
  for (int i = 1; i <= 256; ++i) prefectures += "35.0,139.0,県" + std::to_string(i) + ",市,町\n";
  const struct Case {
    std::string csv;
    int line;
    std::string says;
  } cases[] = {
      {"latitude,longitude,prefecture,city\n" + good, 1, "no \"area\" column"},
      {"lat,longitude,prefecture,city,area\n" + good, 1, "no \"latitude\" column"},
      {kCsvHeader + good + "35.6x,139.0,東京都,千代田区,丸の内\n", 3, "latitude \"35.6x\" is not a number"},
      {kCsvHeader + good + ",139.0,東京都,千代田区,丸の内\n", 3, "latitude \"\" is not a number"},
      {kCsvHeader + good + "35.0,nan,東京都,千代田区,丸の内\n", 3, "longitude \"nan\" is not a number"},
      {kCsvHeader + good + "90.5,139.0,東京都,千代田区,丸の内\n", 3, "outside -90..90"},
      {kCsvHeader + good + "35.0,-180.1,東京都,千代田区,丸の内\n", 3, "outside -180..180"},
      {kCsvHeader + good + "35.0,0.0000004,東京都,千代田区,丸の内\n", 3, "rounds to 0"},
      // Keys count microdegrees north and east of 0.
      {kCsvHeader + good + "-34.603722,-58.381592,東京都,千代田区,丸の内\n", 3,
       "latitude \"-34.603722\" is south or west of 0, which a package's keys cannot hold"},
      {kCsvHeader + good + "35.0,-0.5,東京都,千代田区,丸の内\n", 3, "longitude \"-0.5\" is south or west of 0"},
      // One row repeated: a band the package reader would refuse as damaged.
      {kCsvHeader + Repeat(good, 5000), 0,
       "the band at latitude 35.00 with 5000 points (entry /L3/5/LLP35000000.gzbin) deflates from 75000 to "},
      {kCsvHeader + good + "35.0,139.0,,千代田区,丸の内\n", 3, "prefecture \"\" is empty"},
      {kCsvHeader + good + "35.0,139.0,東京都,,丸の内\n", 3, "city \"\" is empty"},
      {kCsvHeader + good + "35.0,139.0,東京都,千代田区,\n", 3, "area \"\" is empty"},
      {kCsvHeader + good + "35.0,139.0,東京都,千代田区,서울\n", 3, "code page 932 cannot hold"},
      {kCsvHeader + good + "35.0,139.0,東京都,\xFF\xFE,丸の内\n", 3, "not valid UTF-8"},
      {kCsvHeader + good + "35.0,139.0,東京都,千代田区," + tooLong + "\n", 3, "258 bytes"},
      {kCsvHeader + good + "35.0,139.0,東京都\n", 3, "has 3 fields"},
      {kCsvHeader + good + "35.0,139.0,\"東京都,千代田区,丸の内\n", 3, "quoted field"},
      {kCsvHeader + good + "\n" + "35.0,139.0,東京都,千代田区\n", 4, "has 4 fields"},  // blank lines count
      {prefectures, 257, "more than 255 distinct prefecture names"},  // the 256th stands on line 257
      {kCsvHeader, 0, "no address points, only a header"},
      {"latitude,longitude,prefecture,city,area,latitude\n" + good, 1, "names the \"latitude\" column twice"},
      {"area,latitude,longitude,prefecture,city,area\n" + good, 1, "names the \"area\" column twice"},
      // A bad field is quoted to its first 80 bytes, not cutting a character.
      {kCsvHeader + good + std::string(1000, '9') + "x,139.0,東京都,千代田区,丸の内\n", 3,
       "latitude \"" + std::string(80, '9') + "\"... (1001 bytes) is not a number"},
      {kCsvHeader + good + "35.0,139.0,東京都,千代田区,x" + Repeat("町", 200) + "\n", 3,
       "area \"x" + Repeat("町", 26) + "\"... (601 bytes) takes 401 bytes"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    WriteBytes(dir / "in.csv", c.csv);
    try {
      BuildPackage(dir / "in.csv", dir / "out.bin");
      ADD_FAILURE() << "accepted: " << c.says;
    } catch (const PackError& error) {
      const std::string message = error.what();
      const std::string where = c.line == 0 ? "" : ":" + std::to_string(c.line);
      EXPECT_NE(message.find(dir / "in.csv" + where + ": "), std::string::npos) << message;
      EXPECT_NE(message.find(c.says), std::string::npos) << message;
    }
    EXPECT_EQ(Files(dir), std::vector<std::string>{"in.csv"}) << c.says;
  }
}

TEST(PackageBuild, NamesWithControlCharactersAreRefusedWithTheirLine) {
  const struct Case {
    std::string row;
    const char* says;
  } cases[] = {
      {std::string("35.0,139.0,東京都,千代田区,丸の") + '\0' + "内", "area \"丸の\\x00内\" holds a control character (0x00)"},
      {"35.0,139.0,東京都,千代\x1B[31m田区,丸の内", "city \"千代\\x1B[31m田区\" holds a control character (0x1B)"},
      {"35.0,139.0,東京\t都,千代田区,丸の内", "prefecture \"東京\\x09都\" holds a control character (0x09)"},
      {"35.0,139.0,東京都,千代田区,丸の内\x7F", "area \"丸の内\\x7F\" holds a control character (0x7F)"},
      {"35.0,139.0,東京都,千代田区,\x01丸の内", "area \"\\x01丸の内\" holds a control character (0x01)"},
      {"35.0,139.0,東京都,千代田区,\"丸の\x1F内\"", "holds a control character (0x1F)"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    WriteBytes(dir / "in.csv", std::string(kCsvHeader) + "35.0,139.0,東京都,千代田区,丸の内\n" + c.row + "\n");
    try {
      BuildPackage(dir / "in.csv", dir / "out.bin");
      ADD_FAILURE() << "accepted: " << c.says;
    } catch (const PackError& error) {
      EXPECT_EQ(std::string(error.what()).rfind(dir / "in.csv:3: ", 0), 0u) << error.what();
      EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << error.what();
    }
  }
}

TEST(PackageBuild, LinesEndingInALoneCrAreLines) {
  std::string crOnly = kTownsCsv;
  std::replace(crOnly.begin(), crOnly.end(), '\n', '\r');
  TempDir dir;
  WriteBytes(dir / "lf.csv", kTownsCsv);
  WriteBytes(dir / "cr.csv", crOnly);
  const BuildSummary lf = BuildPackage(dir / "lf.csv", dir / "lf.bin");
  const BuildSummary cr = BuildPackage(dir / "cr.csv", dir / "cr.bin");
  EXPECT_EQ(cr.points, 7u);
  EXPECT_EQ(cr.areas, lf.areas);
  EXPECT_EQ(ReadBytes(dir / "cr.bin"), ReadBytes(dir / "lf.bin"));
}

TEST(PackageBuild, AFailedBuildLeavesTheOldPackageAsItWas) {
  TempDir dir;
  WriteBytes(dir / "out.bin", "old package");
  WriteBytes(dir / "in.csv", std::string(kCsvHeader) + "35.0,139.0,東京都,千代田区,\n");
  EXPECT_THROW(BuildPackage(dir / "in.csv", dir / "out.bin"), PackError);
  EXPECT_EQ(ReadBytes(dir / "out.bin"), "old package");
  EXPECT_EQ(Files(dir), (std::vector<std::string>{"in.csv", "out.bin"}));
}

TEST(PackageBuild, FilesThatCannotBeReadOrWrittenAreNamed) {
  TempDir dir;
  WriteBytes(dir / "in.csv", kTownsCsv);
  std::filesystem::create_directory(dir / "folder");
  const struct { std::string input, output, says; } cases[] = {
      {dir / "missing.csv", dir / "out.bin", dir / "missing.csv: no such file"},
      {dir / "folder", dir / "out.bin", dir / "folder: is a folder, not a file"},
      {dir / "in.csv", dir / "no-such-folder/out.bin", dir / "no-such-folder/out.bin"},
      {dir / "in.csv", dir / "folder", dir / "folder"},  // the target is a folder
  };
  for (const auto& c : cases) {
    try {
      BuildPackage(c.input, c.output);
      ADD_FAILURE() << "built " << c.output;
    } catch (const PackError& error) {
      EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << error.what();
    }
    EXPECT_EQ(Files(dir), (std::vector<std::string>{"folder", "in.csv"})) << c.output;
  }
}

}  // namespace
}  // namespace kavrel::pack
