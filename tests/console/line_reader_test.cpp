#include "line_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

namespace kavrel::console {
namespace {

struct Read {
  std::string line;
  bool atEnd;
  std::uint64_t position;
};

// Every read a LineReader makes over a file holding `content`.
std::vector<Read> ReadAll(const std::string& content) {
  test::TempDir dir;
  const std::string path = dir / "input";
  test::WriteBytes(path, content);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  EXPECT_TRUE(file);
  std::vector<Read> reads;
  LineReader reader(file.get());
  std::string line;
  while (!reader.AtEnd() && reads.size() < 10) {
    EXPECT_TRUE(reader.ReadLine(line));
    reads.push_back({line, reader.AtEnd(), reader.Position()});
  }
  return reads;
}

void ExpectReads(const std::vector<Read>& actual, const std::vector<Read>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(actual[i].line, expected[i].line) << "read " << i;
    EXPECT_EQ(actual[i].atEnd, expected[i].atEnd) << "read " << i;
    EXPECT_EQ(actual[i].position, expected[i].position) << "read " << i;
  }
}

TEST(LineReader, ALastLineEndingInALineFeedIsFollowedByAnEmptyRead) {
  ExpectReads(ReadAll("a,b\r\nc\n"), {{"a,b\r\n", false, 5}, {"c\n", false, 7}, {"", true, 7}});
}

TEST(LineReader, ALastLineWithoutALineEndMeetsTheEnd) {
  ExpectReads(ReadAll("a\r\nlast"), {{"a\r\n", false, 3}, {"last", true, 7}});
}

TEST(LineReader, ALineLongerThanTheReadChunkIsOneLine) {
  const std::string longLine = std::string(200000, 'x') + "\r\n";
  ExpectReads(ReadAll(longLine + "y\n"),
              {{longLine, false, 200002}, {"y\n", false, 200004}, {"", true, 200004}});
}

TEST(LineReader, AReadErrorIsReported) {
  test::TempDir dir;
  // A folder opens for reading but cannot be read.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(dir.Path().c_str(), "rb"),
                                                       std::fclose);
  ASSERT_TRUE(file);
  LineReader reader(file.get());
  std::string line;
  EXPECT_FALSE(reader.ReadLine(line));
  EXPECT_FALSE(reader.AtEnd());
}

}  // namespace
}  // namespace kavrel::console
