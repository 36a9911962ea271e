// The conversion's own number and text formatting against the stdio and
// converter output it stands in for.
#include "record_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "kavrel/platform/text.h"

namespace kavrel::console {
namespace {

std::string PrintfFixed6(double value) {
  char text[400];
  std::snprintf(text, sizeof text, "%f", value);
  return text;
}

TEST(AppendFixed6, GivesTheDigitsOfPrintf) {
  // Halfway cases (exact in binary: 35.5078125 = 35 + 65/128) round to even
  // in both; values close to them and to the coordinate ranges' edges too.
  std::vector<double> values = {0.0,        -0.0,        35.681236,  139.767125, 35.5078125,
                                35.5078135, 0.0000005,   0.0000015,  0.0000025,  24.0,
                                45.9999995, 148.9999995, 1e21,       -2.5e-7,    123456789.0000005,
                                std::nextafter(35.5078125, 0.0), std::nextafter(35.5078125, 99.0)};
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> latitude(24.0, 46.0);
  std::uniform_real_distribution<double> any(-1e6, 1e6);
  for (int i = 0; i < 200000; ++i) values.push_back(latitude(random));
  for (int i = 0; i < 20000; ++i) values.push_back(any(random));
  // Every multiple of 1/128 near Tokyo: all of them hit a tie or are exact.
  for (int i = 0; i < 128 * 4; ++i) values.push_back(35.0 + i / 128.0);
  for (const double value : values) {
    std::string text;
    AppendFixed6(text, value);
    ASSERT_EQ(text, PrintfFixed6(value)) << value;
  }
}

TEST(ConsoleTextEncoder, GivesTheBytesOfTheConverter) {
  const ConsoleTextEncoder encoder;
  const std::u16string texts[] = {
      u"", u"東京都千代田区丸の内一丁目", u"a|b - ｶﾀｶﾅ", u"\u00E9\u07FF\u0800\uFFFD\uFFFF",
      u"\U0001F600", u"lone \xD800 high", u"lone \xDC00 low", u"\xD800", u"x\xDBFF\xDFFFy"};
  for (const std::u16string& text : texts) {
    std::string bytes = "kept:";
    encoder.Append(bytes, text);
    EXPECT_EQ(bytes, "kept:" + platform::Utf16ToConsole(text));
  }
}

}  // namespace
}  // namespace kavrel::console
