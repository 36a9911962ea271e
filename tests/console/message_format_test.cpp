// Filling the string table's format texts.
#include "message_format.h"

#include <gtest/gtest.h>

#include <string>

#include "resources/messages.h"

namespace kavrel::console {
namespace {

std::string Narrow(std::u16string_view text) {
  std::string result;
  for (char16_t c : text) result.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return result;
}

TEST(FormatMessageText, FillsPlaceholdersInOrder) {
  struct Case {
    std::u16string format;
    std::u16string expected;
  };
  const Case cases[] = {
      {FormatMessageText(LoadMessage(kMsgStatistics), {100000, 0, 7, 100000.0 / 7}),
       u"成功100000件/失敗0件/所要時間7秒/1秒あたり14285.71件"},
      {FormatMessageText(u"%d|%d", {-5, std::int64_t{-2147483648LL}}), u"-5|-2147483648"},
      {FormatMessageText(u"%f %.0f %.3f", {35.25, 2.75, 1.0}), u"35.250000 3 1.000"},
      {FormatMessageText(u"[%s]", {std::u16string_view(u"東京")}), u"[東京]"},
      {FormatMessageText(u"100%%", {}), u"100%"},
      // Missing or mismatched arguments leave the placeholder as it stands.
      {FormatMessageText(u"%d %d", {1}), u"1 %d"},
      {FormatMessageText(u"%s", {1}), u"%s"},
      {FormatMessageText(u"%x%", {}), u"%x%"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.format, c.expected) << Narrow(c.expected);
}

// The other messages are compared byte for byte in the runs of the program;
// this one only shows with an engine that refuses its parameters.
TEST(StringTable, ParameterFailureTextAndUnknownIds) {
  EXPECT_EQ(LoadMessage(kMsgParameterFailed), u"パラメータを設定できませんでした");
  EXPECT_EQ(LoadMessage(1), u"");
}

}  // namespace
}  // namespace kavrel::console
