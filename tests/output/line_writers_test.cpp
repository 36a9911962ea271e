// The output lines of /keep, /json and the designed record made from
// separate names. Console text is UTF-8 here (C locale).
#include "kavrel/output/line_writers.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace kavrel::output {
namespace {

const Coordinates kPair{35.681236, 139.767125};
const Coordinates kNoPair{};
const LineAnswer kTokyo{true, "東京都", "千代田区", "丸の内一丁目", 12.345};
const LineAnswer kNone{};

std::string Format(OutputFormat format, bool distance, const std::string& line,
                   const Coordinates& pair, const LineAnswer& answer, bool first = false,
                   std::u16string separator = u"") {
  const LineFormatter formatter(format, std::move(separator), distance);
  std::string out;
  formatter.Append(out, line, pair, answer, first);
  return out;
}

TEST(LineFormatter, KeepAppendsTheSameColumnsToEveryLine) {
  KAVREL_POSIX_ONLY("the console's code page on Windows is the system's, not a locale's");
  using F = OutputFormat;
  struct Case {
    const char* name;
    bool distance;
    std::string line;
    Coordinates pair;
    LineAnswer answer;
    bool first;
    std::string expected;
  };
  const LineAnswer quoted{true, "東京都", "a,b", "say \"x\"", 0.04};
  const Case cases[] = {
      {"answered, CR LF kept", false, "35.681236,139.767125,id7\r\n", kPair, kTokyo, false,
       "35.681236,139.767125,id7,東京都,千代田区,丸の内一丁目\r\n"},
      {"LF and distance", true, "x 35.681236 139.767125\n", kPair, kTokyo, false,
       "x 35.681236 139.767125,東京都,千代田区,丸の内一丁目,12.3\n"},
      {"no line end at the end", false, "35.681236,139.767125", kPair, kTokyo, false,
       "35.681236,139.767125,東京都,千代田区,丸の内一丁目"},
      {"names quoted", true, "\"a, b\",35.681236,139.767125\r\n", kPair, quoted, false,
       "\"a, b\",35.681236,139.767125,東京都,\"a,b\",\"say \"\"x\"\"\",0.0\r\n"},
      {"pair without answer", true, "35.0,135.0\r\n", kPair, kNone, false, "35.0,135.0,,,,\r\n"},
      {"header", false, "lat,lon,id,time\r\n", kNoPair, kNone, true,
       "lat,lon,id,time,prefecture,city,area\r\n"},
      {"quoted header with distance", true, "\"lat\",\"lon\"\n", kNoPair, kNone, true,
       "\"lat\",\"lon\",prefecture,city,area,distance_m\n"},
      {"header words later are data", false, "lat,lon\r\n", kNoPair, kNone, false, "lat,lon,,,\r\n"},
      {"first line not like a header", false, "# log\r\n", kNoPair, kNone, true, "# log,,,\r\n"},
      {"blank line", false, "\r\n", kNoPair, kNone, false, ",,,\r\n"},
      {"end of input", false, "", kNoPair, kNone, false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Format(F::kKeep, c.distance, c.line, c.pair, c.answer, c.first), c.expected) << c.name;
  }
}

TEST(LineFormatter, JsonGivesOneObjectPerLine) {
  using F = OutputFormat;
  EXPECT_EQ(Format(F::kJson, false, "35.681236,139.767125\r\n", kPair, kTokyo),
            "{\"lat\":35.681236,\"lon\":139.767125,\"prefecture\":\"東京都\",\"city\":\"千代田区\","
            "\"area\":\"丸の内一丁目\"}\n");
  EXPECT_EQ(Format(F::kJson, true, "35.681236,139.767125\r\n", kPair, kTokyo),
            "{\"lat\":35.681236,\"lon\":139.767125,\"prefecture\":\"東京都\",\"city\":\"千代田区\","
            "\"area\":\"丸の内一丁目\",\"distance_m\":12.3}\n");
  EXPECT_EQ(Format(F::kJson, true, "35.681236,139.767125\r\n", kPair, kNone),
            "{\"lat\":35.681236,\"lon\":139.767125,\"error\":\"no address found\"}\n");
  EXPECT_EQ(Format(F::kJson, false, "lat,lon\r\n", kNoPair, kNone),
            "{\"error\":\"no coordinate pair in the line\"}\n");
  EXPECT_EQ(Format(F::kJson, false, "", kNoPair, kNone), "");
}

TEST(LineFormatter, DesignedRecordFromSeparateNames) {
  KAVREL_POSIX_ONLY("the console's code page on Windows is the system's, not a locale's");
  using F = OutputFormat;
  // The same bytes as the record of the designed conversion.
  std::string designed;
  AppendRecordFields(designed, kPair.latitude, kPair.longitude, u"東京都 / 千代田区 / 丸の内一丁目",
                     ConsoleTextEncoder());
  EXPECT_EQ(Format(F::kDesigned, false, "35.681236,139.767125\r\n", kPair, kTokyo, false, u" / "),
            designed + "\r\n");
  EXPECT_EQ(Format(F::kDesigned, true, "35.681236,139.767125\r\n", kPair, kTokyo),
            "35.681236,139.767125,東京都千代田区丸の内一丁目,12.3\r\n");
  EXPECT_EQ(Format(F::kDesigned, true, "35.0,135.0\n", kPair, kNone), "35.681236,139.767125,,\r\n");
  // Other lines are copied as the designed conversion copies them.
  EXPECT_EQ(Format(F::kDesigned, true, std::string("ab\0c\r\n", 6), kNoPair, kNone), "ab\r\n");
  EXPECT_EQ(Format(F::kDesigned, false, "id,lat\n", kNoPair, kNone), "id,lat\n");
}

}  // namespace
}  // namespace kavrel::output
