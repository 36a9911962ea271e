#include "line_blocks.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "test_packages.h"
#include "test_support.h"

namespace kavrel::console {
namespace {

struct Line {
  std::string text;
  std::uint64_t position;
  bool operator==(const Line& other) const { return text == other.text && position == other.position; }
};

std::ostream& operator<<(std::ostream& out, const Line& line) {
  return out << '"' << line.text.substr(0, 20) << "\" (" << line.text.size() << " bytes) at " << line.position;
}

// Every line that blocks of `blockBytes` give over a file holding
// `content`, and what the last block said about how the input ended.
struct Reading {
  std::vector<Line> lines;
  std::size_t blocks = 0;
  bool last = false;
  bool failed = false;
  std::string failure;
};

Reading ReadAll(const std::string& content, std::size_t blockBytes) {
  test::TempDir dir;
  const std::string path = dir / "input";
  test::WriteBytes(path, content);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  EXPECT_TRUE(file);
  const std::unique_ptr<ByteSource> source = OpenByteSource(file.get());
  BlockReader reader(*source, blockBytes);
  Reading reading;
  LineBlock block;
  while (reader.Read(block)) {
    EXPECT_EQ(block.first, reading.blocks == 0);
    EXPECT_FALSE(reading.last || reading.failed) << "a block after the last";
    ++reading.blocks;
    ForEachLine(block, [&](std::size_t begin, std::size_t end) {
      reading.lines.push_back({block.bytes.substr(begin, end - begin), block.PositionAfter(end)});
    });
    EXPECT_EQ(block.bytes.c_str()[block.bytes.size()], '\0');
    reading.last = block.last;
    reading.failed = block.failed;
  }
  reading.failure = source->Failure();
  return reading;
}

// One gzip member holding `text`.
std::string GzipMember(const std::string& text) { return test::WrappedDeflate(text, 15 + 16); }

// Lines of `content` with the byte positions after them, then the final
// line after the last line feed.
std::vector<Line> PlainLines(const std::string& content) {
  std::vector<Line> lines;
  std::size_t begin = 0;
  for (std::size_t feed = content.find('\n'); feed != std::string::npos; feed = content.find('\n', begin)) {
    lines.push_back({content.substr(begin, feed + 1 - begin), feed + 1});
    begin = feed + 1;
  }
  lines.push_back({content.substr(begin), content.size()});
  return lines;
}

TEST(BlockReader, EveryLineWholeInOrderWhereverTheBlocksEnd) {
  const std::string longLine = std::string(200000, 'x') + "\r\n";  // longer than a read piece
  struct Case {
    const char* what;
    std::string content;
  };
  const Case cases[] = {
      {"an empty input is one empty final line", ""},
      {"a last line end is followed by an empty final line", "a,b\r\nc\n"},
      {"a last line without a line end is the final line", "a\r\nlast"},
      {"a long line is one line", longLine + "y\n" + longLine + "z"},
      {"NULs and lone carriage returns stay in their line", std::string("a\0b\rc\r\n\0\n\r", 11)},
  };
  // Blocks of one byte end after every line; the larger ones end inside
  // lines and inside the long one.
  for (const std::size_t blockBytes : {std::size_t{1}, std::size_t{3}, kReadPieceBytes, std::size_t{1} << 20}) {
    for (const Case& c : cases) {
      const Reading reading = ReadAll(c.content, blockBytes);
      EXPECT_EQ(reading.lines, PlainLines(c.content)) << c.what << ", blocks of " << blockBytes;
      EXPECT_TRUE(reading.last) << c.what;
      EXPECT_FALSE(reading.failed) << c.what;
    }
  }
  // A block ends after the last line feed that its reads brought in; the
  // final empty line, read after it, comes alone.
  EXPECT_EQ(ReadAll("a\nb\nc\n", 1).blocks, 2u);
}

TEST(BlockReader, AReadErrorEndsWithAFailedBlock) {
  test::TempDir dir;
  // A folder opens for reading but cannot be read.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(dir.Path().c_str(), "rb"), std::fclose);
  ASSERT_TRUE(file);
  const std::unique_ptr<ByteSource> source = OpenByteSource(file.get());
  BlockReader reader(*source, kReadPieceBytes);
  LineBlock block;
  ASSERT_TRUE(reader.Read(block));
  EXPECT_TRUE(block.failed);
  EXPECT_FALSE(block.last);
  EXPECT_EQ(block.bytes, "");
  EXPECT_EQ(source->Failure(), "Is a directory");
  EXPECT_FALSE(reader.Read(block));
}

// Progress on a gzip input counts compressed bytes: each line's position is
// what had been read from the file when its line feed came in, so it never
// goes back and the final line reaches the file's size.
TEST(BlockReader, GzipMembersAreOneStreamWithCompressedPositions) {
  std::string text;
  for (int i = 0; i < 30000; ++i) text += std::to_string(i * 7919) + ",35.5,139.5\r\n";
  const std::string compressed = GzipMember(text.substr(0, 100001)) + GzipMember(text.substr(100001));
  for (const std::size_t blockBytes : {std::size_t{1000}, std::size_t{1} << 20}) {
    const Reading reading = ReadAll(compressed, blockBytes);
    const std::vector<Line> plain = PlainLines(text);
    ASSERT_EQ(reading.lines.size(), plain.size());
    std::uint64_t before = 0;
    for (std::size_t i = 0; i < plain.size(); ++i) {
      ASSERT_EQ(reading.lines[i].text, plain[i].text) << "line " << i;
      EXPECT_GE(reading.lines[i].position, before) << "line " << i;
      EXPECT_LE(reading.lines[i].position, compressed.size()) << "line " << i;
      before = reading.lines[i].position;
    }
    EXPECT_EQ(reading.lines.back().position, compressed.size());
    EXPECT_TRUE(reading.last);
  }
}

TEST(BlockReader, DamagedGzipGivesTheWholeLinesBeforeTheDamage) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "35.5,139.5,line " + std::to_string(i) + "\n";
  std::string compressed = GzipMember(text);
  compressed.resize(compressed.size() / 2);  // cut off: the member never ends
  const Reading reading = ReadAll(compressed, 4096);
  ASSERT_FALSE(reading.lines.empty());
  EXPECT_TRUE(reading.failed);
  EXPECT_FALSE(reading.last);
  EXPECT_EQ(reading.failure, "the gzip data ends inside a member (a cut-off file?)");
  std::string handedOut;
  for (const Line& line : reading.lines) {
    EXPECT_EQ(line.text.back(), '\n');
    handedOut += line.text;
  }
  EXPECT_EQ(text.compare(0, handedOut.size(), handedOut), 0);
  EXPECT_LT(handedOut.size(), text.size());
}

}  // namespace
}  // namespace kavrel::console
