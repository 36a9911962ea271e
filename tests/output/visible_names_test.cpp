// Control characters of names shown as '?', separators kept.
#include "kavrel/output/visible_names.h"

#include <gtest/gtest.h>

#include <string>

#include "kavrel/platform/text.h"

namespace kavrel::output {
namespace {

TEST(VisibleNames, EveryControlCharacterAndNothingElseIsShownAsAQuestionMark) {
  for (char32_t c = 0; c < 0x100; ++c) {
    const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    const std::u16string name(1, static_cast<char16_t>(c));
    EXPECT_EQ(VisibleName(name), control ? u"?" : name) << static_cast<unsigned>(c);
  }
  EXPECT_EQ(VisibleName(u"東\x1b[31m京\r\n都\u3000"), u"東?[31m京??都\u3000");
}

TEST(VisibleNames, Utf8NamesGiveTheSameAsTheirUtf16) {
  const char* names[] = {"東京都", "東\x1b[31m京\r\n都", "a\x7f\xc2\x85\xc2\xa0\xc2\x9f", "", "\n"};
  for (const char* name : names) {
    std::string out = "x";
    AppendVisibleUtf8(out, name);
    EXPECT_EQ(out, "x" + platform::Utf16ToUtf8(VisibleName(platform::Utf8ToUtf16(name)))) << name;
  }
}

TEST(VisibleNames, AJoinedAddressKeepsItsSeparators) {
  struct Case {
    std::u16string address;
    std::u16string separator;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"東京都\t千代\n田区\t丸の内", u"\t", u"東京都\t千代?田区\t丸の内"},
      {u"a\r\nb\r\nc", u"\r\n", u"a\r\nb\r\nc"},
      {u"a\x1b" u"b\x7f" u"c", u"", u"a?b?c"},
      {u"a - b\x85 - c", u" - ", u"a - b? - c"},
      {u"\t\t\t", u"\t\t", u"\t\t?"},
  };
  for (const Case& c : cases) {
    std::u16string address = c.address;
    MakeNamesVisible(address, c.separator);
    EXPECT_EQ(address, c.expected) << "row " << &c - cases;
  }
}

}  // namespace
}  // namespace kavrel::output
