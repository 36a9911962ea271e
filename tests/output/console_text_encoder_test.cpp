// The console codeset encoder against the converter it stands in for.
#include "kavrel/output/console_text_encoder.h"

#include <gtest/gtest.h>

#include <string>

#include "kavrel/platform/text.h"

namespace kavrel::output {
namespace {

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
}  // namespace kavrel::output
