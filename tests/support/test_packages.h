// Small packages made by the tests: point and name blocks built record by
// record, hand-made package bytes for packages the writer would never make
// (damaged headers and indexes, data out of index order), and an engine of
// the test's own that has opened such a package.
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

// The 15 little-endian bytes of a point record.
std::string PointRecord(const Point& point);
// Point records of all `points`, in the given order.
std::string PointBlock(const std::vector<Point>& points);
// A name record: key, length byte, text (code page 932 bytes already).
std::string NameRecord(std::uint32_t key, std::string_view cp932);
// Name records of (key, text) pairs, texts converted to code page 932.
std::string NameBlock(const std::vector<std::pair<std::uint32_t, std::u16string>>& names);
// Name records of (key, code page 932 bytes) pairs, bytes as given.
std::string NameBlock(const std::vector<std::pair<std::uint32_t, std::string>>& cp932Names);

// A deflate stream of `data` with a zlib wrapper (windowBits 15) or a gzip
// one (15 + 16), as one member.
std::string WrappedDeflate(const std::string& data, int windowBits);

// A writer holding `points`, each in the block of its band, ascending.
pack::PackageWriter PointPackage(std::vector<Point> points);
// One point at Tokyo Station (35.681236, 139.767125) with its names:
// 東京都 (P 13), 千代田区 (C 101), 丸の内一丁目 (S 1234).
pack::PackageWriter TokyoStationPackage();

// The 8-byte header with the right magic.
std::string PackageHeader(std::uint32_t indexSize, std::uint8_t nameEncoding = 1, std::uint8_t headerFlag = 0);
// One index record: name length, name, method, flag, offset, stored size.
std::string IndexRecord(std::string_view name, std::uint8_t method, std::uint8_t flag, std::uint32_t offset,
                        std::uint32_t storedSize);
// A whole package from its index and data area.
std::string PackageBytes(const std::string& index, const std::string& data, std::uint8_t nameEncoding = 1);

// A package written to a temporary folder and an engine that has opened it
// (Initialize with the full path).
class TestEngine {
public:
  explicit TestEngine(const pack::PackageWriter& writer);
  TestEngine(const TestEngine&) = delete;
  TestEngine& operator=(const TestEngine&) = delete;

  CkavrelcoreApp& operator*() { return m_engine; }
  CkavrelcoreApp* operator->() { return &m_engine; }

private:
  TempDir m_dir;
  CkavrelcoreApp m_engine;
};

}  // namespace kavrel::test
