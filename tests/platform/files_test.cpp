#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "kavrel/platform/files.h"
#include "test_support.h"

namespace kavrel::platform {
namespace {

namespace fs = std::filesystem;

using test::Native;

TEST(Files, ExistenceMeansAnExistingNonDirectory) {
  test::TempDir dir;
  test::WriteBytes(dir / "a.bin", "abc");
  EXPECT_TRUE(FileExists(dir / "a.bin"));
  EXPECT_FALSE(FileExists(dir / "missing.bin"));
  EXPECT_FALSE(FileExists(dir.Path()));
  EXPECT_EQ(FileSize(dir / "a.bin"), 3u);
  EXPECT_FALSE(FileSize(dir / "missing.bin").has_value());
}

TEST(Files, CurrentDirectoryHasNoLengthLimit) {
  test::TempDir dir;
  // A folder path well past 260 characters.
  fs::path deep = dir.Path();
  for (int i = 0; i < 12; ++i) {
    deep /= std::string(40, static_cast<char>('a' + i));
    ASSERT_TRUE(fs::create_directory(deep));
  }
  const fs::path before = fs::current_path();
  fs::current_path(deep);
  const std::string seen = CurrentDirectory();
  fs::current_path(before);
  EXPECT_GT(seen.size(), 500u);
  EXPECT_EQ(seen.substr(seen.size() - 40), std::string(40, 'l'));
}

TEST(Files, ExecutablePathIsThisTestProgram) {
  const std::string path = ExecutablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(fs::path(path).stem().string(), "platform_tests");
}

TEST(Files, ProgramFolderHoldsThisTestProgram) {
  const std::optional<std::string> folder = ProgramFolder();
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ(JoinPath(*folder, fs::path(ExecutablePath()).filename().string()), ExecutablePath());
}

TEST(Files, PathsSplitAndJoinAtTheSeparator) {
  EXPECT_EQ(FileNamePart(Native(std::u16string(u"/usr/local/bin/kavrel"))), u"kavrel");
  EXPECT_EQ(FileNamePart(u"kavrel"), u"kavrel");
  EXPECT_EQ(FileNamePart(Native(std::u16string(u"/a/"))), u"");
  EXPECT_TRUE(HasFolder(Native(std::u16string(u"./kavreldata.bin"))));
  EXPECT_FALSE(HasFolder(u"kavreldata.bin"));
  EXPECT_EQ(JoinPath(Native(std::u16string(u"/a")), u"b.bin"), Native(std::u16string(u"/a/b.bin")));
  EXPECT_EQ(JoinPath("", "b.bin"), Native(std::string("/b.bin")));  // a program in the root folder
}

TEST(ReadOnlyFile, PositionedReadsStopAtTheEnd) {
  test::TempDir dir;
  test::WriteBytes(dir / "f", "0123456789");
  ReadOnlyFile file;
  ASSERT_TRUE(file.Open(dir / "f"));
  char buffer[8] = {};
  EXPECT_EQ(file.ReadAt(3, buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "3456");
  EXPECT_EQ(file.ReadAt(8, buffer, 8), 2u);
  EXPECT_EQ(file.ReadAt(20, buffer, 8), 0u);
  EXPECT_EQ(file.Size(), 10u);

  // Another reader is not refused while the first holds the file.
  ReadOnlyFile second;
  EXPECT_TRUE(second.Open(dir / "f"));
}

TEST(ReadOnlyFile, RefusesMissingFilesDirectoriesAndDevices) {
  test::TempDir dir;
  ReadOnlyFile file;
  EXPECT_FALSE(file.Open(dir / "missing"));
  EXPECT_FALSE(file.Open(dir.Path()));
  EXPECT_EQ(errno, EISDIR);
  // A device is no package file, though it opens and reads.
  EXPECT_FALSE(file.Open(test::kNullDevice));
  EXPECT_EQ(errno, ESPIPE);
  EXPECT_FALSE(file.IsOpen());
  char byte = 0;
  EXPECT_FALSE(file.ReadAt(0, &byte, 1).has_value());
}

}  // namespace
}  // namespace kavrel::platform

namespace kavrel::platform {
namespace {

TEST(OpenStream, ACreatedFileIsLockedUntilClosedAndAHeldOneIsLeftUntouched) {
  test::TempDir dir;
  const std::string path = dir / "out.csv";
  test::WriteBytes(path, "before\n");
  FileStream first = OpenStream(path, StreamMode::kCreate);
  ASSERT_TRUE(first);
  EXPECT_EQ(test::ReadBytes(path), "");  // emptied once locked
  ASSERT_GE(std::fputs("first\n", first.get()), 0);
  std::fflush(first.get());
  errno = 0;
  EXPECT_FALSE(OpenStream(path, StreamMode::kCreate));
  EXPECT_EQ(errno, kLockedByAnother);
  EXPECT_EQ(test::ReadBytes(path), "first\n");
  first.reset();
  FileStream second = OpenStream(path, StreamMode::kCreate);
  EXPECT_TRUE(second);
  EXPECT_EQ(test::ReadBytes(path), "");
}

}  // namespace
}  // namespace kavrel::platform
