#include "app.h"

#include <gtest/gtest.h>

#include <string>

namespace kavrel::console {
namespace {

TEST(GetFileNamePart, TakesThePartAfterTheLastSlash) {
  struct Case {
    std::u16string_view path;
    std::u16string_view name;
  };
  const Case cases[] = {
      {u"/usr/local/bin/kavrel", u"kavrel"}, {u"kavrel", u"kavrel"}, {u"/kavrel", u"kavrel"},
      {u"/opt/kavrel/", u""},                {u"", u""},              {u"a\\b", u"a\\b"},
  };
  for (const Case& c : cases) EXPECT_EQ(GetFileNamePart(c.path), c.name) << "row " << &c - cases;
}

}  // namespace
}  // namespace kavrel::console
