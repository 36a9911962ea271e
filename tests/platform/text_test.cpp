#include <gtest/gtest.h>

#include "kavrel/platform/text.h"
#include "test_support.h"

namespace kavrel::platform {
namespace {

TEST(Cp932, RoundTripsJapaneseText) {
  const std::u16string text = u"東京都千代田区丸の内一丁目";
  const std::string bytes = Utf16ToCp932(text);
  EXPECT_EQ(bytes.substr(0, 4), "\x93\x8C\x8B\x9E");  // 東京
  EXPECT_EQ(Cp932ToUtf16(bytes), text);
}

TEST(Cp932, HoldsTheMicrosoftExtensions) {
  // NEC special characters and IBM extensions are what separate code page
  // 932 from plain Shift_JIS; place names use some of them (髙, ①).
  const std::u16string text = u"髙①";
  EXPECT_EQ(Cp932ToUtf16(Utf16ToCp932(text)), text);
}

TEST(Cp932, InvalidBytesBecomeReplacementCharactersAndDecodingGoesOn) {
  // 0x81 is a lead byte; 0x20 cannot follow it. A lone lead byte at the end
  // is an incomplete character.
  EXPECT_EQ(Cp932ToUtf16("A\x81\x20" "B"), u"A\uFFFD B");
  EXPECT_EQ(Cp932ToUtf16("AB\x81"), u"AB\uFFFD");
}

TEST(Cp932, CharactersItCannotHoldBecomeQuestionMarks) {
  EXPECT_EQ(Utf16ToCp932(u"a\u00E9b\U0001F600c"), "a?b?c");
}

TEST(Utf8, RoundTripsAndReplacesInvalidBytes) {
  EXPECT_EQ(Utf8ToUtf16("\xE6\x9D\xB1\xE4\xBA\xAC"), u"東京");
  EXPECT_EQ(Utf16ToUtf8(u"東京\U0001F600"), "\xE6\x9D\xB1\xE4\xBA\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
}

TEST(Text, EmptyAndLongStringsConvertWhole) {
  EXPECT_EQ(Cp932ToUtf16(""), u"");
  std::u16string longText(100000, u'亜');
  EXPECT_EQ(Cp932ToUtf16(Utf16ToCp932(longText)), longText);
}

TEST(Console, PlainAsciiLocaleMeansUtf8) {
  KAVREL_POSIX_ONLY("the console's code page on Windows is the system's, not a locale's");
  // Tests run in the C locale unless the program sets another.
  EXPECT_EQ(ConsoleCodeset(), "UTF-8");
  EXPECT_EQ(Utf16ToConsole(u"東"), "\xE6\x9D\xB1");
  EXPECT_EQ(ConsoleToUtf16("\xE6\x9D\xB1"), u"東");
}

// File names are bytes, whatever the locale says: the console's conversion
// (UTF-8 here, in the C locale) and the UTF-8 one of names handed over by a
// host keep each byte that begins no character, and give it back.
TEST(Console, BytesTheCodesetCannotReadComeBackUnchanged) {
  KAVREL_POSIX_ONLY("the console's code page on Windows is the system's, not a locale's");
  struct Case {
    std::string bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {"\x93\x8c\x8b\x9e.csv", u"\xDC93\xDC8C\xDC8B\xDC9E.csv"},    // code page 932 bytes
      {"\xE6\x9D\xB1\xFF\xE6\x9D", u"東\xDCFF\xDCE6\xDC9D"},       // a cut character at the end
      {"/tmp/pk\xFF\xFE.bin", u"/tmp/pk\xDCFF\xDCFE.bin"},          // bytes no UTF-8 begins with
      {"plain \xF0\x9F\x98\x80", u"plain \U0001F600"},             // valid text as ever
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ConsoleToUtf16KeepingBytes(c.bytes), c.text);
    EXPECT_EQ(Utf16ToConsoleKeepingBytes(c.text), c.bytes);
    EXPECT_EQ(Utf8ToUtf16KeepingBytes(c.bytes), c.text);
    EXPECT_EQ(Utf16ToUtf8KeepingBytes(c.text), c.bytes);
  }
  // A low surrogate that is half of a pair is a character, not a byte.
  EXPECT_EQ(Utf16ToConsoleKeepingBytes(u"\U00010000"), "\xF0\x90\x80\x80");
  EXPECT_EQ(Utf16ToUtf8KeepingBytes(u"\U00010000"), "\xF0\x90\x80\x80");
}

}  // namespace
}  // namespace kavrel::platform
