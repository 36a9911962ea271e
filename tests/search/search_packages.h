// Small hand-made packages for the search tests: point and name blocks built
// record by record, written to a temporary folder and opened by an engine
// that the test owns.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine_app.h"
#include "package_writer.h"
#include "test_support.h"

namespace kavrel::test {

// One address point as it stands in a point block.
struct Point {
  std::uint32_t lat;
  std::uint32_t lon;
  std::uint8_t pref = 1;
  std::uint16_t city = 1;
  std::uint32_t area = 1;
  std::uint8_t extra = 0;
};

// The 15 bytes of a point record.
std::string PointRecord(const Point& point);
// Point records of all `points`, in the given order.
std::string PointBlock(const std::vector<Point>& points);
// A name record; `text` is in code page 932 already.
std::string NameRecord(std::int32_t key, std::string_view text);
// Name records of (key, text) pairs, texts converted to code page 932.
std::string NameBlock(const std::vector<std::pair<std::int32_t, std::u16string>>& names);

// A package written to a temporary folder and an engine that has opened it
// (Initialize with the full path).
class TestEngine {
public:
  explicit TestEngine(const pack::PackageWriter& writer);
  TestEngine(const TestEngine&) = delete;
  TestEngine& operator=(const TestEngine&) = delete;

  CkavrelcoreApp& operator*() { return m_engine; }
  CkavrelcoreApp* operator->() { return &m_engine; }
  const std::string& Path() const { return m_path; }

private:
  TempDir m_dir;
  std::string m_path;
  CkavrelcoreApp m_engine;
};

// Search parameters set directly, bypassing SetStep's own rules.
void SetSearch(CkavrelcoreApp& engine, std::int32_t step, std::int32_t width, std::int32_t bandRange);

}  // namespace kavrel::test
