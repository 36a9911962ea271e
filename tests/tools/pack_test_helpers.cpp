#include "pack_test_helpers.h"

#include <gtest/gtest.h>

#include "kavrel/platform/text.h"

namespace kavrel::pack {

void PrintTo(const PointRecord& point, std::ostream* out) {
  *out << "{lat " << point.latitude << ", lon " << point.longitude << ", P " << unsigned(point.prefecture)
       << ", C " << point.city << ", extra " << unsigned(point.extra) << ", S " << point.area << "}";
}

}  // namespace kavrel::pack

namespace kavrel::pack::test {

PackageReader::PackageReader(const std::string& path) {
  const PackageStatus status = m_package.Open(platform::Utf8ToUtf16(path));
  EXPECT_EQ(status, PackageStatus::kOk) << "the engine cannot open " << path;
}

std::vector<std::string> PackageReader::EntryNames() const {
  std::vector<std::string> names;
  for (std::int32_t i = 0; i < m_package.FileCount(); ++i) {
    names.push_back(platform::Utf16ToUtf8(m_package.FileName(i)));
  }
  return names;
}

std::optional<std::string> PackageReader::Content(const std::string& name) {
  const std::u16string wide = platform::Utf8ToUtf16(name);
  const std::int32_t index = m_package.FindFile(wide);
  if (index < 0 || m_package.LoadFile(wide) != PackageStatus::kOk) return std::nullopt;
  const CDataPackageFile& entry = m_package.File(index);
  return std::string(entry.Bytes());
}

std::vector<PointRecord> PackageReader::Points(const std::string& name) {
  std::vector<PointRecord> points;
  const std::optional<std::string> block = Content(name);
  if (!block) return points;
  EXPECT_EQ(block->size() % 15, 0u) << name;
  for (std::size_t at = 0; at + 15 <= block->size(); at += 15) {
    points.push_back(ReadPointRecord(reinterpret_cast<const unsigned char*>(block->data() + at)));
  }
  return points;
}

std::vector<std::pair<std::uint32_t, std::u16string>> PackageReader::Names(const std::string& name) {
  std::vector<std::pair<std::uint32_t, std::u16string>> names;
  const std::optional<std::string> block = Content(name);
  if (!block) return names;
  bool complete = false;
  for (const NameRecord& record : ReadNameBlock(*block, complete)) {
    names.emplace_back(record.key, platform::Cp932ToUtf16(record.text));
  }
  EXPECT_TRUE(complete) << name;
  return names;
}

}  // namespace kavrel::pack::test
