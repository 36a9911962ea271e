// The pair of a line from two CSV fields (/cols): the fields, the choice of
// them in the first line, and the reading of their numbers.
#include "pair_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "csv_fields.h"

namespace kavrel::console {
namespace {

TEST(CsvFields, QuotesKeepCommasAndDoubledQuotes) {
  struct Case {
    std::string body;
    std::vector<std::string> fields;
  };
  const Case cases[] = {
      {"", {""}},
      {"a,b,,c,", {"a", "b", "", "c", ""}},
      {"\"a, b\",c", {"a, b", "c"}},
      {"\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}},
      {"\"quoted\"tail,x", {"quotedtail", "x"}},
      {"\"never closed, at all", {"never closed, at all"}},
      {" 35.5 ,\"139.5\"", {" 35.5 ", "139.5"}},
  };
  for (const Case& c : cases) EXPECT_EQ(CsvFields(c.body), c.fields) << c.body;

  std::string first;
  std::string second;
  EXPECT_TRUE(ReadTwoCsvFields("a,\"b,c\",d", 2, 1, first, second));
  EXPECT_EQ(first, "d");
  EXPECT_EQ(second, "b,c");
  EXPECT_TRUE(ReadTwoCsvFields("a,b", 1, 1, first, second));
  EXPECT_EQ(second, "b");
  EXPECT_FALSE(ReadTwoCsvFields("a,b", 0, 2, first, second));
  EXPECT_EQ(LineBody("a,b\r\n"), "a,b");
  EXPECT_EQ(LineBody("a,b\n"), "a,b");
  EXPECT_EQ(LineBody("a\rb"), "a\rb");
}

TEST(ParseColumnChoice, TwoPartsNamesOrNumbersFromOne) {
  struct Case {
    const char* text;
    bool accepted;
    const char* latitude;
    const char* longitude;
  };
  const Case cases[] = {
      {"lat,lon", true, "lat", "lon"}, {"5,6", true, "5", "6"},   {"lat,6", true, "lat", "6"},
      {"06,5", true, "06", "5"},       {"lat", false, "", ""},     {"lat,", false, "", ""},
      {",lon", false, "", ""},         {"0,6", false, "", ""},     {"5,00", false, "", ""},
      {"a,b,c", false, "", ""},        {"", false, "", ""},
  };
  for (const Case& c : cases) {
    ColumnChoice choice;
    EXPECT_EQ(ParseColumnChoice(c.text, choice), c.accepted) << c.text;
    EXPECT_EQ(choice.latitude, c.latitude) << c.text;
    EXPECT_EQ(choice.longitude, c.longitude) << c.text;
  }
}

TEST(ResolveColumns, NamesFromTheHeaderNumbersWithinItsFields) {
  struct Case {
    const char* latitude;
    const char* longitude;
    std::string firstLine;
    bool found;
    std::size_t latitudeIndex, longitudeIndex;
    std::string why;
  };
  const std::string header = "id,\"lat\",lon,lat\r\n";
  const Case cases[] = {
      {"lat", "lon", header, true, 1, 2, ""},  // the first of two equal names
      {"lon", "lat", header, true, 2, 1, ""},
      {"4", "1", header, true, 3, 0, ""},
      {"id", "lon", "\xEF\xBB\xBFid,lon\n", true, 0, 1, ""},  // byte order mark
      {"lat", "LON", header, false, 0, 0, "the longitude column \"LON\" is not a name"},
      {"5", "1", header, false, 0, 0, "the latitude field number 5 is beyond the 4 field(s)"},
      {"1", "99999999999", header, false, 0, 0, "the longitude field number 99999999999 is beyond"},
  };
  for (const Case& c : cases) {
    std::string why;
    const std::optional<ColumnIndexes> columns = ResolveColumns({c.latitude, c.longitude}, c.firstLine, why);
    ASSERT_EQ(columns.has_value(), c.found) << c.latitude << "," << c.longitude << ": " << why;
    if (columns) {
      EXPECT_EQ(columns->latitude, c.latitudeIndex) << c.latitude;
      EXPECT_EQ(columns->longitude, c.longitudeIndex) << c.latitude;
    } else {
      EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
  }
}

TEST(PairReader, ReadsOnlyTheChosenFieldsEachInItsOwnRange) {
  const PairReader reader(ColumnIndexes{4, 5});
  struct Case {
    std::string line;
    double latitude, longitude;
  };
  const Case cases[] = {
      {"1,t,35.0,135.0,43.068661,141.350755\r\n", 43.068661, 141.350755},
      {"1,\"t, u\",35.0,135.0, 43.068661 ,\"141.350755\"\n", 43.068661, 141.350755},
      {"1,t,35.0,135.0,43.40.52.45,141.350755", 43.681236111111, 141.350755},  // packed form
      {"1,t,35.0,135.0,43,141", 43.0, 141.0},                              // whole degrees
      {"1,t,35.0,135.0,43.068661N,141.350755E", 43.068661, 141.350755},   // hemisphere letters
      {"1,t,35.0,135.0,x,141.350755", 0, 0},
      {"1,t,35.0,135.0,,141.350755", 0, 0},
      {"1,t,35.0,135.0,43.0 km,141.350755", 0, 0},
      {"1,t,35.0,135.0,10.0,141.350755", 0, 0},       // latitude outside its range
      {"1,t,35.0,135.0,43.068661,149.0", 0, 0},       // longitude end excluded
      {"1,t,35.0,135.0,141.350755,43.068661", 0, 0},  // swapped
      {"1,t,35.0,135.0,-43.0,141.3", 0, 0},
      {"1,t,35.0,135.0,43.068661", 0, 0},  // too few fields
  };
  for (const Case& c : cases) {
    const CoordinatePair pair = reader.Read(c.line);
    EXPECT_NEAR(pair.latitude, c.latitude, 1e-9) << c.line;
    EXPECT_NEAR(pair.longitude, c.longitude, 1e-9) << c.line;
  }
  // The designed reader scans the whole line and finds the first pair.
  const CoordinatePair scanned = PairReader().Read(cases[0].line);
  EXPECT_EQ(scanned.latitude, 35.0);
  EXPECT_EQ(scanned.longitude, 135.0);
}

TEST(PairReader, AFirstLineIsTheHeaderWhenNeitherFieldReadsAsANumber) {
  const PairReader reader(ColumnIndexes{0, 1});
  EXPECT_TRUE(reader.IsHeader("lat,lon\r\n"));
  EXPECT_TRUE(reader.IsHeader("\"lat\",\"lon\",x\n"));
  EXPECT_TRUE(reader.IsHeader("lat\n"));  // too few fields: neither reads
  EXPECT_FALSE(reader.IsHeader("35.5,lon\n"));
  EXPECT_FALSE(reader.IsHeader("lat,139\n"));
  EXPECT_FALSE(reader.IsHeader("10.0,10.0\n"));  // numbers outside the ranges are data
  EXPECT_FALSE(PairReader().IsHeader("lat,lon\n"));
}

}  // namespace
}  // namespace kavrel::console
