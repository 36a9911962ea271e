// The console writer.
#include "console_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace kavrel::console {
namespace {

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
