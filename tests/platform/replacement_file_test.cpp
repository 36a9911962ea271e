// The file that replaces a package only once it is complete.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "kavrel/platform/files.h"
#include "kavrel/platform/replacement_file.h"
#include "test_support.h"

namespace kavrel::platform {
namespace {

using kavrel::test::ReadBytes;
using kavrel::test::TempDir;
using kavrel::test::WriteBytes;

std::size_t FileCount(const TempDir& dir) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& item : std::filesystem::directory_iterator(dir.Path())) ++count;
  return count;
}

TEST(ReplacementFile, TheTargetChangesOnlyAtCommit) {
  TempDir dir;
  WriteBytes(dir / "p.bin", "old");
  ReplacementFile file;
  std::string error;
  ASSERT_TRUE(file.Create(dir / "p.bin", error)) << error;
  const std::string temporary = file.TemporaryPath();
  EXPECT_EQ(std::filesystem::path(temporary).parent_path(), std::filesystem::path(dir.Path()));
  EXPECT_NE(temporary, dir / "p.bin");
  ASSERT_TRUE(file.Write("new ", error)) << error;
  ASSERT_TRUE(file.Write("bytes", error)) << error;
  EXPECT_EQ(ReadBytes(dir / "p.bin"), "old");
  EXPECT_EQ(ReadBytes(temporary), "new bytes");

  ASSERT_TRUE(file.Commit(error)) << error;
  EXPECT_EQ(ReadBytes(dir / "p.bin"), "new bytes");
  EXPECT_FALSE(FileExists(temporary));
  EXPECT_EQ(FileCount(dir), 1u);
}

TEST(ReplacementFile, AnUncommittedFileVanishesAndTheTargetStays) {
  TempDir dir;
  WriteBytes(dir / "p.bin", "old");
  std::string temporary;
  {
    ReplacementFile file;
    std::string error;
    ASSERT_TRUE(file.Create(dir / "p.bin", error)) << error;
    ASSERT_TRUE(file.Write("half a package", error)) << error;
    temporary = file.TemporaryPath();
    EXPECT_TRUE(FileExists(temporary));
  }
  EXPECT_FALSE(FileExists(temporary));
  EXPECT_EQ(ReadBytes(dir / "p.bin"), "old");
  EXPECT_EQ(FileCount(dir), 1u);
}

TEST(ReplacementFile, TwoWritersOfOneTargetNeverShareATemporaryFile) {
  TempDir dir;
  ReplacementFile first, second;
  std::string error;
  ASSERT_TRUE(first.Create(dir / "p.bin", error)) << error;
  ASSERT_TRUE(second.Create(dir / "p.bin", error)) << error;
  EXPECT_NE(first.TemporaryPath(), second.TemporaryPath());
  ASSERT_TRUE(first.Write("first", error) && second.Write("second", error)) << error;
  ASSERT_TRUE(first.Commit(error)) << error;
  ASSERT_TRUE(second.Commit(error)) << error;
  EXPECT_EQ(ReadBytes(dir / "p.bin"), "second");
  EXPECT_EQ(FileCount(dir), 1u);
}

}  // namespace
}  // namespace kavrel::platform
