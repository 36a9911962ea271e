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
      {FormatMessageText(LoadMessage(kMsgProgress), {10, 3, 1}), u"10%完了しました(3/1)"},
      {FormatMessageText(LoadMessage(kMsgStatistics), {3, 1, 2, 2.0}),
       u"成功3件/失敗1件/所要時間2秒/1秒あたり2.00件"},
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

TEST(StringTable, HoldsEveryMessageTheProgramWrites) {
  struct Case {
    int id;
    std::u16string_view text;
  };
  const Case cases[] = {
      {129, u"エンジンの初期化に失敗しました"},
      {134, u"入力ファイルから読み取れません"},
      {135, u"出力ファイルに書き込めません"},
      {136, u"パラメータを設定できませんでした"},
      {137, u"引数または設定に誤りがあります"},
      {153, u"変換処理を開始しました"},
      {154, u"変換処理を終了しました"},
      {155, u"成功%d件/失敗%d件/所要時間%d秒/1秒あたり%.2f件"},
      {156, u"%d%%完了しました(%d/%d)"},
      {1, u""},
  };
  for (const Case& c : cases) EXPECT_EQ(LoadMessage(c.id), c.text) << c.id;
  EXPECT_EQ(LoadMessage(kMsgUsage).substr(0, 21), u"Usage: %s [options]\r\n");
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
