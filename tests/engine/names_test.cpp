#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "test_packages.h"

namespace kavrel::test {
namespace {

// P, C and S blocks with the odd records a name block may hold.
pack::PackageWriter NamePackage() {
  pack::PackageWriter writer;
  writer.Add("/P/000000.gzbin", NameBlock({{1, u"北海道"}, {13, u"東京都"}, {7, u"最初"}, {7, u"二番目"}}) +
                                    NameRecord(5, ""));
  writer.Add("/C/000000.gzbin", NameBlock({{101, u"千代田区"}}) + NameRecord(102, std::string("ab\0cd", 5)));
  writer.Add("/S/000000.gzbin", NameBlock({{999, u"丸の内一丁目"}}), kMethodStored);
  // The last record claims more text than the block holds.
  writer.Add("/S/001000.gzbin", NameBlock({{1234, u"大手町"}}) + NameRecord(1500, "truncated").substr(0, 8));
  return writer;
}

TEST(LookupName, FindsTheKeyInTheBlockOfItsLevel) {
  struct Case {
    int level;
    std::uint32_t key;
    std::int32_t code;
    std::u16string name;
  };
  const Case cases[] = {
      {0, 13, 0, u"東京都"},
      {0, 1, 0, u"北海道"},
      {0, 7, 0, u"最初"},          // the first record of a key wins
      {0, 5, -1006, u""},          // a record with no text is no name
      {0, 99, -1006, u""},         // no record of the key
      {1, 101, 0, u"千代田区"},
      {1, 13, -1006, u""},         // P keys are not C keys
      {1, 102, 0, u"ab"},          // the text ends at a null byte
      {2, 999, 0, u"丸の内一丁目"},  // S block 0, stored
      {2, 1234, 0, u"大手町"},      // S block 1000
      {2, 1500, -1006, u""},       // its record runs past the block's end
      {2, 2001, -1006, u""},       // S block 2000 does not exist
  };
  TestEngine engine(NamePackage());
  for (const Case& c : cases) {
    std::u16string name = u"left over";
    EXPECT_EQ(engine->LookupName(c.level, c.key, name), c.code) << c.level << " " << c.key;
    EXPECT_EQ(name, c.name) << c.level << " " << c.key;
  }
}

}  // namespace
}  // namespace kavrel::test
