// The input and output bytes of a conversion: gzip detected by its magic
// and inflated member after member, gzip written that zlib reads back, and
// the progress of an input without a size.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "failure_share.h"
#include "input_bytes.h"
#include "output_bytes.h"
#include "progress_report.h"
#include "test_packages.h"
#include "test_support.h"

namespace kavrel::console {
namespace {

using StreamPtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

struct Drained {
  std::string bytes;
  std::string failure;
  bool compressed = false;
  std::uint64_t stored = 0;
};

// Everything a source over a file holding `content` gives, read in small
// pieces so that member ends fall inside reads.
Drained Drain(const std::string& content) {
  test::TempDir dir;
  const std::string path = dir / "input";
  test::WriteBytes(path, content);
  StreamPtr file(std::fopen(path.c_str(), "rb"), std::fclose);
  EXPECT_TRUE(file);
  const std::unique_ptr<ByteSource> source = OpenByteSource(file.get());
  Drained drained;
  char piece[7];
  while (const std::size_t read = source->Read(piece, sizeof piece)) drained.bytes.append(piece, read);
  drained.failure = source->Failure();
  drained.compressed = source->Compressed();
  drained.stored = source->StoredBytesRead();
  return drained;
}

std::string Gzipped(const std::string& data) { return test::WrappedDeflate(data, 15 + 16); }

TEST(ByteSource, GzipByItsMagicOnlyAndEveryMemberInOrder) {
  const std::string text = "35.681236,139.767125\r\nno pair\r\n";
  struct Case {
    const char* name;
    std::string content;
    std::string bytes;
    bool compressed;
    std::string failure;
  };
  const std::string gzip = Gzipped(text);
  const Case cases[] = {
      {"plain", text, text, false, ""},
      {"empty", "", "", false, ""},
      {"one magic byte", "\x1f", "\x1f", false, ""},
      {"magic the other way", "\x8b\x1f", "\x8b\x1f", false, ""},
      {"one member", gzip, text, true, ""},
      {"three members, one empty", Gzipped("ab") + Gzipped("") + Gzipped("cd\n"), "abcd\n", true, ""},
      {"cut", gzip.substr(0, gzip.size() - 1), text, true, "the gzip data ends inside a member (a cut-off file?)"},
      {"magic alone", "\x1f\x8b", "", true, "the gzip data ends inside a member (a cut-off file?)"},
      {"not gzip after a member", gzip + "plain", text, true, "the gzip data is damaged (incorrect header check)"},
  };
  for (const Case& c : cases) {
    const Drained drained = Drain(c.content);
    EXPECT_EQ(drained.bytes, c.bytes) << c.name;
    EXPECT_EQ(drained.compressed, c.compressed) << c.name;
    EXPECT_EQ(drained.failure, c.failure) << c.name;
    // What a read position is compared with: the file's own size at the end.
    if (c.failure.empty()) {
      EXPECT_EQ(drained.stored, c.content.size()) << c.name;
    }
  }
}

TEST(ByteSink, GzipOutputIsOneMemberThatInflatesToWhatWasWritten) {
  test::TempDir dir;
  const std::string path = dir / "out.gz";
  std::string text;
  for (int i = 0; i < 40000; ++i) text += std::to_string(i) + ",東京都千代田区\r\n";  // several chunks
  {
    StreamPtr file(std::fopen(path.c_str(), "wb"), std::fclose);
    const std::unique_ptr<ByteSink> sink = MakeByteSink(file.get(), true);
    ASSERT_TRUE(sink->Write(text.substr(0, 100)));
    ASSERT_TRUE(sink->Write(""));
    ASSERT_TRUE(sink->Write(text.substr(100)));
    ASSERT_TRUE(sink->Finish());
  }
  const std::string written = test::ReadBytes(path);
  ASSERT_GE(written.size(), 2u);
  EXPECT_EQ(written.substr(0, 2), "\x1f\x8b");
  EXPECT_LT(written.size(), text.size() / 2);
  EXPECT_EQ(Drain(written).bytes, text);
  EXPECT_EQ(Drain(written).failure, "");
}

TEST(ByteSink, AFullDeviceFailsTheWrite) {
  StreamPtr file(std::fopen("/dev/full", "wb"), std::fclose);
  if (!file) GTEST_SKIP() << "no /dev/full";
  for (const bool gzip : {false, true}) {
    const std::unique_ptr<ByteSink> sink = MakeByteSink(file.get(), gzip);
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    EXPECT_FALSE(sink->Write(std::string(300000, 'x')) && sink->Finish()) << gzip;
  }
}

// The lines a StreamProgress wrote to a file, after `updates` of (lines,
// milliseconds).
std::string StreamLines(std::int64_t interval, const std::vector<std::pair<std::uint64_t, std::int64_t>>& updates) {
  test::TempDir dir;
  const std::string path = dir / "progress";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  EXPECT_GE(fd, 0);
  StreamProgress progress(fd, interval);
  for (const auto& [lines, milliseconds] : updates) progress.Update(lines, milliseconds);
  ::close(fd);
  return test::ReadBytes(path);
}

TEST(StreamProgress, ALineOnceAnIntervalHasPassedWithLinesAndRate) {
  EXPECT_EQ(StreamLines(5000, {{10, 0}, {20, 4999}}), "");
  EXPECT_EQ(StreamLines(5000, {{10, 100}, {20000, 5000}, {20001, 9999}, {30000, 10000}}),
            "kavrel: progress: 20000 lines, 4000 lines/s\n"
            "kavrel: progress: 30000 lines, 3000 lines/s\n");
  // A stall longer than the interval gives one line, and the next interval
  // counts from it.
  EXPECT_EQ(StreamLines(1000, {{5, 60000}, {6, 60500}, {7, 61000}}),
            "kavrel: progress: 5 lines, 0 lines/s\n"
            "kavrel: progress: 7 lines, 0 lines/s\n");
  EXPECT_EQ(StreamLines(0, {{1, 0}, {2, 0}}),
            "kavrel: progress: 1 lines, 0 lines/s\nkavrel: progress: 2 lines, 0 lines/s\n");
}

TEST(FailureShareExceeded, MoreThanTheShareOfLinesWithContent) {
  struct Case {
    std::int64_t unanswered, withContent;
    double percent;
    std::string verdict;
  };
  const Case cases[] = {
      {5, 100, 5, ""},  // exactly the share is not more
      {6, 100, 5, "6 of 100 lines with content got no answer (6.0%), more than /maxfail 5%"},
      {1, 3, 33.3, "1 of 3 lines with content got no answer (33.3%), more than /maxfail 33.3%"},
      {1, 3, 33.4, ""},
      {0, 0, 0, ""},
      {1, 1000000, 0, "1 of 1000000 lines with content got no answer (0.0%), more than /maxfail 0%"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FailureShareExceeded(c.unanswered, c.withContent, c.percent), c.verdict) << c.unanswered;
  }
}

}  // namespace
}  // namespace kavrel::console
