// The string table, the filling of its format texts, and the console writer.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "app.h"
#include "console_output.h"
#include "message_format.h"
#include "resources/messages.h"
#include "test_support.h"

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

TEST(GetFileNamePart, TakesThePartAfterTheLastSlash) {
  struct Case {
    std::u16string_view path;
    std::u16string_view name;
  };
  const Case cases[] = {
      {u"/usr/local/bin/kavrel", u"kavrel"}, {u"kavrel", u"kavrel"}, {u"/kavrel", u"kavrel"},
      {u"/opt/kavrel/", u""},                {u"", u""},              {u"a\\b", u"a\\b"},
  };
  for (const Case& c : cases) EXPECT_EQ(GetFileNamePart(c.path), c.name) << Narrow(c.path);
}

TEST(WriteAnsiText, WritesConsoleBytesAndNothingElse) {
  test::TempDir dir;
  const std::string path = dir / "out.txt";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  // The tests run in the C locale, whose console codeset is UTF-8.
  EXPECT_EQ(WriteAnsiText(fd, u"東京"), 6);
  EXPECT_EQ(WriteAnsiText(fd, u""), 0);
  EXPECT_EQ(WriteAnsiText(-1, u"lost"), 0);
  CConsoleOutput out{fd};
  EXPECT_EQ(out.Write(u"\r\n"), 2);
  EXPECT_EQ(out.status, 0);
  ::close(fd);
  EXPECT_EQ(test::ReadBytes(path), "\xE6\x9D\xB1\xE4\xBA\xAC\r\n");

  // A write that fails is not reported beyond its count.
  const int readOnly = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(readOnly, 0);
  EXPECT_EQ(WriteAnsiText(readOnly, u"text"), 0);
  ::close(readOnly);

  CConsoleOutput none{kInvalidHandle};
  EXPECT_EQ(none.Write(u"text"), 0);
  EXPECT_EQ(none.status, 2);
}

}  // namespace
}  // namespace kavrel::console
