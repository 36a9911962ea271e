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
  const std::unique_ptr<ByteSource> source = OpenByteSource(file.get());
  LineReader reader(*source);
  std::string line;
  while (!reader.AtEnd() && reads.size() < 10) {
    EXPECT_TRUE(reader.ReadLine(line));
    reads.push_back({line, reader.AtEnd(), reader.Position()});
  }
  return reads;
}

TEST(LineReader, EveryLineWholeThenTheEnd) {
  const std::string longLine = std::string(200000, 'x') + "\r\n";  // longer than a read chunk
  struct Case {
    const char* what;
    std::string content;
    std::vector<Read> reads;
  };
  const Case cases[] = {
      {"a last line end is followed by an empty read", "a,b\r\nc\n",
       {{"a,b\r\n", false, 5}, {"c\n", false, 7}, {"", true, 7}}},
      {"a last line without a line end meets the end", "a\r\nlast", {{"a\r\n", false, 3}, {"last", true, 7}}},
      {"a long line is one line", longLine + "y\n",
       {{longLine, false, 200002}, {"y\n", false, 200004}, {"", true, 200004}}},
  };
  for (const Case& c : cases) {
    const std::vector<Read> actual = ReadAll(c.content);
    ASSERT_EQ(actual.size(), c.reads.size()) << c.what;
    for (std::size_t i = 0; i < c.reads.size(); ++i) {
      EXPECT_EQ(actual[i].line, c.reads[i].line) << c.what << ", read " << i;
      EXPECT_EQ(actual[i].atEnd, c.reads[i].atEnd) << c.what << ", read " << i;
      EXPECT_EQ(actual[i].position, c.reads[i].position) << c.what << ", read " << i;
    }
  }
}

TEST(LineReader, AReadErrorIsReported) {
  test::TempDir dir;
  // A folder opens for reading but cannot be read.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(dir.Path().c_str(), "rb"),
                                                       std::fclose);
  ASSERT_TRUE(file);
  const std::unique_ptr<ByteSource> source = OpenByteSource(file.get());
  LineReader reader(*source);
  std::string line;
  EXPECT_FALSE(reader.ReadLine(line));
  EXPECT_FALSE(reader.AtEnd());
  EXPECT_EQ(source->Failure(), "Is a directory");
}

}  // namespace
}  // namespace kavrel::console
