#include "test_packages.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <map>

#include "kavrel/format/blocks.h"
#include "kavrel/format/package_layout.h"
#include "kavrel/platform/text.h"

namespace kavrel::test {

std::string PointRecord(const Point& point) {
  std::string record;
  AppendPointRecord(record, kavrel::PointRecord{point.lat, point.lon, point.pref, point.city, point.extra, point.area});
  return record;
}

std::string PointBlock(const std::vector<Point>& points) {
  std::string block;
  for (const Point& point : points) block += PointRecord(point);
  return block;
}

std::string NameRecord(std::uint32_t key, std::string_view cp932) {
  std::string record;
  AppendNameRecord(record, key, cp932);
  return record;
}

std::string NameBlock(const std::vector<std::pair<std::uint32_t, std::u16string>>& names) {
  std::string block;
  for (const auto& [key, text] : names) block += NameRecord(key, platform::Utf16ToCp932(text));
  return block;
}

std::string NameBlock(const std::vector<std::pair<std::uint32_t, std::string>>& cp932Names) {
  std::string block;
  for (const auto& [key, text] : cp932Names) block += NameRecord(key, text);
  return block;
}

std::string WrappedDeflate(const std::string& data, int windowBits) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  return out;
}

pack::PackageWriter PointPackage(std::vector<Point> points) {
  std::stable_sort(points.begin(), points.end(), [](const Point& a, const Point& b) { return a.lat < b.lat; });
  std::map<std::uint32_t, std::vector<Point>> bands;
  for (const Point& point : points) bands[BandOf(point.lat)].push_back(point);
  pack::PackageWriter writer;
  for (const auto& [band, members] : bands) {
    writer.Add(platform::Utf16ToUtf8(BuildPointBlockName(band)), PointBlock(members));
  }
  return writer;
}

pack::PackageWriter TokyoStationPackage() {
  pack::PackageWriter writer = PointPackage({{35681236, 139767125, 13, 101, 1234}});
  writer.Add("/P/000000.gzbin", NameBlock({{13, u"東京都"}}));
  writer.Add("/C/000000.gzbin", NameBlock({{101, u"千代田区"}}));
  writer.Add("/S/001000.gzbin", NameBlock({{1234, u"丸の内一丁目"}}));
  return writer;
}

std::string PackageHeader(std::uint32_t indexSize, std::uint8_t nameEncoding, std::uint8_t headerFlag) {
  std::string out;
  AppendPackageHeader(out, kavrel::PackageHeader{headerFlag, nameEncoding, indexSize});
  return out;
}

std::string IndexRecord(std::string_view name, std::uint8_t method, std::uint8_t flag, std::uint32_t offset,
                        std::uint32_t storedSize) {
  std::string out;
  AppendIndexRecord(out, name, method, flag, offset, storedSize);
  return out;
}

std::string PackageBytes(const std::string& index, const std::string& data, std::uint8_t nameEncoding) {
  return PackageHeader(static_cast<std::uint32_t>(index.size()), nameEncoding) + index + data;
}

TestEngine::TestEngine(const pack::PackageWriter& writer) {
  const std::string path = m_dir / "test.bin";
  WriteBytes(path, writer.Serialize());
  EXPECT_EQ(m_engine.Initialize(Wide(path).c_str()), 0) << path;
}

}  // namespace kavrel::test
