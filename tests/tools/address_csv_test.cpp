// Reading the input: CSV lines, files plain and compressed.
#include "address_csv.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "pack_error.h"
#include "test_packages.h"
#include "test_support.h"

namespace kavrel::pack {
namespace {

using kavrel::test::TempDir;
using kavrel::test::WriteBytes;

TEST(SplitCsvLine, FieldsQuotesAndBlanks) {
  using V = std::vector<std::string>;
  const struct { const char* line; bool ok; V fields; } cases[] = {
      {"a,b,c", true, {"a", "b", "c"}},
      {"", true, {""}},
      {"a,,", true, {"a", "", ""}},
      {" a , b\t,c ", true, {"a", "b", "c"}},
      {"\"a,b\",c", true, {"a,b", "c"}},
      {"\"say \"\"hi\"\"\",x", true, {"say \"hi\"", "x"}},
      {" \" padded \" ,x", true, {" padded ", "x"}},
      {"\"\",x", true, {"", "x"}},
      {"\"open,x", false, {}},
      {"\"closed\"junk,x", false, {}},
  };
  for (const auto& c : cases) {
    V fields;
    EXPECT_EQ(SplitCsvLine(c.line, fields), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ(fields, c.fields) << c.line;
    }
  }
}

std::vector<AddressRow> ReadAll(const std::string& path) {
  AddressCsvReader reader(path);
  std::vector<AddressRow> rows;
  AddressRow row;
  while (reader.Next(row)) rows.push_back(row);
  return rows;
}

TEST(AddressCsvReader, ColumnsInAnyOrderWithBomCrLfAndBlankLines) {
  TempDir dir;
  WriteBytes(dir / "in.csv",
             "\xEF\xBB\xBF" "area,extra,city,longitude,prefecture,latitude\r\n"
             "丸の内一丁目,ignored,千代田区,139.767125,東京都,35.681236\r\n"
             "\r\n"
             "梅田三丁目,,大阪市北区,135.495951,大阪府,34.702485");  // no line end at the end
  const std::vector<AddressRow> rows = ReadAll(dir / "in.csv");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].line, 2u);
  EXPECT_EQ(rows[0].latitude, "35.681236");
  EXPECT_EQ(rows[0].longitude, "139.767125");
  EXPECT_EQ(rows[0].prefecture, "東京都");
  EXPECT_EQ(rows[0].city, "千代田区");
  EXPECT_EQ(rows[0].area, "丸の内一丁目");
  EXPECT_EQ(rows[1].line, 4u);
  EXPECT_EQ(rows[1].area, "梅田三丁目");
  EXPECT_EQ(rows[1].latitude, "34.702485");
}

// The header and `rows` rows of one town, gzip-compressed into `path`.
void WriteGzipTowns(const std::string& path, int rows) {
  std::string csv = "latitude,longitude,prefecture,city,area\n";
  for (int i = 0; i < rows; ++i) csv += "35.0,139.0,東京都,千代田区,町" + std::to_string(i) + "\n";
  gzFile file = gzopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(gzwrite(file, csv.data(), static_cast<unsigned>(csv.size())), static_cast<int>(csv.size()));
  ASSERT_EQ(gzclose(file), Z_OK);
}

TEST(AddressCsvReader, CompressionIsToldByContent) {
  TempDir dir;
  // Long enough to need several reads of the decompressed stream.
  WriteGzipTowns(dir / "in.csv", 20000);
  const std::vector<AddressRow> rows = ReadAll(dir / "in.csv");
  ASSERT_EQ(rows.size(), 20000u);
  EXPECT_EQ(rows.back().area, "町19999");
  EXPECT_EQ(rows.back().line, 20001u);
}

TEST(AddressCsvReader, ADamagedCompressedFileIsAnError) {
  TempDir dir;
  WriteGzipTowns(dir / "whole.gz", 5000);
  const std::string whole = kavrel::test::ReadBytes(dir / "whole.gz");
  WriteBytes(dir / "cut.gz", whole.substr(0, whole.size() / 2));
  std::string garbled = whole;
  for (std::size_t i = 20; i < 60; ++i) garbled[i] = static_cast<char>(garbled[i] ^ 0x5A);
  WriteBytes(dir / "garbled.gz", garbled);

  for (const char* name : {"cut.gz", "garbled.gz"}) {
    try {
      ReadAll(dir / name);
      ADD_FAILURE() << name << " read without error";
    } catch (const PackError& error) {
      EXPECT_NE(std::string(error.what()).find(dir / name + ":"), std::string::npos) << error.what();
      EXPECT_NE(std::string(error.what()).find("cannot be read"), std::string::npos) << error.what();
    }
  }
}

std::string Gzip(const std::string& data) { return kavrel::test::WrappedDeflate(data, 15 + 16); }

TEST(AddressCsvReader, GzipMembersInARowAreOneFileAndBytesAfterThemAreAnError) {
  const std::string header = "latitude,longitude,prefecture,city,area\n";
  const std::string row = "35.0,139.0,東京都,千代田区,丸の内\n";
  const struct Case {
    const char* what;
    std::string bytes;
    std::size_t rows;  // read before the end or the error
    bool error;
  } cases[] = {
      {"one member", Gzip(header + row), 1, false},
      {"three members", Gzip(header) + Gzip(row) + Gzip(row + row), 3, false},
      {"an empty member between", Gzip(header + row) + Gzip("") + Gzip(row), 2, false},
      {"text after the member", Gzip(header + row) + "35.1,139.1,x,y,z\n", 1, true},
      {"zeros after the member", Gzip(header + row) + std::string(512, '\0'), 1, true},
      {"one byte after the member", Gzip(header + row) + "\x1F", 1, true},
  };
  for (const Case& c : cases) {
    TempDir dir;
    WriteBytes(dir / "in.csv.gz", c.bytes);
    std::size_t rows = 0;
    try {
      AddressCsvReader reader(dir / "in.csv.gz");
      AddressRow read;
      while (reader.Next(read)) ++rows;
      EXPECT_FALSE(c.error) << c.what << ": read without error";
    } catch (const PackError& error) {
      EXPECT_TRUE(c.error) << c.what << ": " << error.what();
      EXPECT_NE(std::string(error.what()).find("bytes follow the end of the gzip data"), std::string::npos)
          << error.what();
    }
    EXPECT_EQ(rows, c.rows) << c.what;
  }
}

TEST(AddressCsvReader, LineEndsAnywhereInLongLinesAndAcrossReads) {
  // Reads are 256 KiB: lines of several reads, and a CR LF split between two.
  const std::size_t kRead = 256 * 1024;
  const std::string header = "latitude,longitude,prefecture,city,area\r\n";
  const std::string padding(3 * kRead, ' ');
  const std::string longRow = "35.0,139.0,東京都,千代田区," + padding + "丸の内";
  std::string csv = header + longRow + "\r";
  // Its CR LF, blank lines, and a CR as the last byte of a read.
  const std::size_t lineFeeds = kRead - csv.size() % kRead - 1;
  csv += std::string(lineFeeds, '\n');
  csv += "\r\n35.1,139.1,東京都,千代田区,有楽町\r35.2,139.2,東京都,千代田区,永田町\n\r";
  csv += "35.3,139.3,東京都,千代田区,末尾";  // no line end
  TempDir dir;
  for (const bool compressed : {false, true}) {
    WriteBytes(dir / "in.csv", compressed ? Gzip(csv) : csv);
    const std::vector<AddressRow> rows = ReadAll(dir / "in.csv");
    ASSERT_EQ(rows.size(), 4u) << compressed;
    EXPECT_EQ(rows[0].area, "丸の内");
    EXPECT_EQ(rows[1].area, "有楽町");
    EXPECT_EQ(rows[2].area, "永田町");
    EXPECT_EQ(rows[3].area, "末尾");
    EXPECT_EQ(rows[0].line, 2u);
    // The first line feed ends the long row; the others and the split CR LF
    // end blank lines.
    EXPECT_EQ(rows[1].line, 2 + lineFeeds + 1) << compressed;
    EXPECT_EQ(rows[3].line, rows[2].line + 2) << compressed;  // "\n\r" is two line ends
  }
}

TEST(AddressCsvReader, ALineLongerThanTheLimitIsRefusedNamingItsLine) {
  const std::string header = "latitude,longitude,prefecture,city,area\n";
  const std::string start = "35.0,139.0,東京都,千代田区,";
  const auto row = [&](std::size_t length) { return start + std::string(length - start.size(), 'x') + "\n"; };
  const struct Case {
    const char* what;
    std::string csv;
    const char* error;  // null: read whole
  } cases[] = {
      {"a row of the longest length", header + row(kMaxCsvLineBytes) + row(40), nullptr},
      {"one byte longer", header + row(40) + row(kMaxCsvLineBytes + 1), ":3: "},
      {"commas without a line end", header + std::string(3 * kMaxCsvLineBytes, ','), ":2: "},
      {"a header that never ends", std::string(5 * kMaxCsvLineBytes, 'h'), ":1: "},
  };
  for (const Case& c : cases) {
    for (const bool compressed : {false, true}) {
      TempDir dir;
      WriteBytes(dir / "in.csv", compressed ? Gzip(c.csv) : c.csv);
      try {
        const std::vector<AddressRow> rows = ReadAll(dir / "in.csv");
        EXPECT_EQ(c.error, nullptr) << c.what << " read whole";
        EXPECT_EQ(rows.size(), 2u) << c.what;
      } catch (const PackError& error) {
        ASSERT_NE(c.error, nullptr) << c.what << ": " << error.what();
        const std::string text = error.what();
        EXPECT_EQ(text.rfind(dir / "in.csv" + c.error, 0), 0u) << c.what << ": " << text;
        EXPECT_NE(text.find("longer than 1048576 bytes"), std::string::npos) << c.what << ": " << text;
      }
    }
  }
}

}  // namespace
}  // namespace kavrel::pack
