// The CSV field and JSON string writers that every output shares.
#include <gtest/gtest.h>

#include <string>

#include "kavrel/output/csv.h"
#include "kavrel/output/json.h"

namespace kavrel::output {
namespace {

TEST(CsvAndJsonFields, QuoteAndEscapeOnlyWhatNeedsIt) {
  struct Case {
    const char* text;
    const char* csv;
    const char* json;
  };
  const Case cases[] = {
      {"", "", "\"\""},
      {"丸の内", "丸の内", "\"丸の内\""},
      {"a,b", "\"a,b\"", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\"", "\"say \\\"hi\\\"\""},
      {"two\r\nlines", "\"two\r\nlines\"", "\"two\\u000d\\u000alines\""},
      {"back\\slash\ttab", "back\\slash\ttab", "\"back\\\\slash\\u0009tab\""},
      {"\x1f\x7f\xff", "\x1f\x7f\xff", "\"\\u001f\x7f\xff\""},
  };
  for (const Case& c : cases) {
    std::string csv, json;
    AppendCsvField(csv, c.text);
    AppendJsonString(json, c.text);
    EXPECT_EQ(csv, c.csv) << c.text;
    EXPECT_EQ(json, c.json) << c.text;
  }
}

}  // namespace
}  // namespace kavrel::output
