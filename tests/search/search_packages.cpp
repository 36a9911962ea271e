#include "search_packages.h"

#include <gtest/gtest.h>

#include "kavrel/platform/text.h"

namespace kavrel::test {
namespace {

void PutLittleEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
}

}  // namespace

std::string PointRecord(const Point& point) {
  std::string record;
  PutLittleEndian(record, point.lat, 4);
  PutLittleEndian(record, point.lon, 4);
  PutLittleEndian(record, point.pref, 1);
  PutLittleEndian(record, point.city, 2);
  PutLittleEndian(record, point.extra, 1);
  PutLittleEndian(record, point.area, 3);
  return record;
}

std::string PointBlock(const std::vector<Point>& points) {
  std::string block;
  for (const Point& point : points) block += PointRecord(point);
  return block;
}

std::string NameRecord(std::int32_t key, std::string_view text) {
  std::string record;
  PutLittleEndian(record, static_cast<std::uint32_t>(key), 4);
  record.push_back(static_cast<char>(text.size()));
  record += text;
  return record;
}

std::string NameBlock(const std::vector<std::pair<std::int32_t, std::u16string>>& names) {
  std::string block;
  for (const auto& [key, text] : names) block += NameRecord(key, platform::Utf16ToCp932(text));
  return block;
}

TestEngine::TestEngine(const pack::PackageWriter& writer) : m_path(m_dir / "test.bin") {
  WriteBytes(m_path, writer.Serialize());
  const std::u16string path(m_path.begin(), m_path.end());  // ASCII temp path
  EXPECT_EQ(m_engine.Initialize(path.c_str()), 0) << m_path;
}

void SetSearch(CkavrelcoreApp& engine, std::int32_t step, std::int32_t width, std::int32_t bandRange) {
  engine.m_nStep = step;
  engine.m_nWidth = width;
  engine.m_nBandRange = bandRange;
}

}  // namespace kavrel::test
