// Names in code page 932 and their key numbering.
#include "address_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kavrel::pack {
namespace {

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

TEST(EncodeName, CodePage932TextOrTheReason) {
  const struct { std::string utf8; bool ok; std::string cp932OrReason; } cases[] = {
      {"東京都", true, "\x93\x8C\x8B\x9E\x93\x73"},
      {"ABC", true, "ABC"},
      {"ｶﾅ", true, "\xB6\xC5"},                        // half-width katakana: one byte each
      {"①", true, "\x87\x40"},                          // an NEC special character
      {"町?", true, "\x92\xAC?"},                        // a '?' of its own is kept
      {"\xE3\x80\x9C", true, "\x81\x60"},                // WAVE DASH, stored as FULLWIDTH TILDE
      {"", false, "is empty"},
      {"\xFF", false, "not valid UTF-8"},
      {"서울", false, "cannot hold"},
      {"町\xF0\x9F\x98\x80", false, "cannot hold"},      // an emoji
      {"\xEF\xBF\xBD", false, "cannot hold"},            // U+FFFD itself
      {std::string(255, 'a'), true, std::string(255, 'a')},
      {std::string(256, 'a'), false, "256 bytes"},
      // 3 bytes each in UTF-8, 2 in code page 932: the limit counts the latter.
      {Repeat("町", 127), true, Repeat("\x92\xAC", 127)},
      {Repeat("町", 128), false, "256 bytes"},
  };
  for (const auto& c : cases) {
    std::string text;
    std::string error;
    ASSERT_EQ(EncodeName(c.utf8, text, error), c.ok) << c.utf8 << ": " << error;
    if (c.ok) {
      EXPECT_EQ(text, c.cp932OrReason) << c.utf8;
    } else {
      EXPECT_NE(error.find(c.cp932OrReason), std::string::npos) << c.utf8 << ": " << error;
    }
  }
}

TEST(KeyTable, KeysFromOneInOrderOfFirstAppearanceUpToTheLimit) {
  KeyTable table(3);
  EXPECT_EQ(table.Find("b"), 0u);
  EXPECT_EQ(table.Add("b", "B"), 1u);
  EXPECT_EQ(table.Add("a", "A"), 2u);
  EXPECT_EQ(table.Find("b"), 1u);
  EXPECT_EQ(table.Find("a"), 2u);
  EXPECT_EQ(table.Add("c", "C"), 3u);
  EXPECT_EQ(table.Add("d", "D"), 0u);  // full: the level has no key 4
  EXPECT_EQ(table.Find("d"), 0u);
  EXPECT_EQ(table.Count(), 3u);
  EXPECT_EQ(table.Texts(), (std::vector<std::string>{"B", "A", "C"}));
}

}  // namespace
}  // namespace kavrel::pack
