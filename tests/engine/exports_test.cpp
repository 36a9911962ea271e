// The exported C functions of the engine, as a host calls them: the state
// rules, the identity texts and the package name, the buffer protocol of
// ReverseGeocoding and the two stateless helpers. They share one
// process-wide engine, so every test starts by cleaning it up.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

#include "kavrelcore.h"
#include "library_text.h"
#include "package_writer.h"
#include "test_packages.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using kavrel::test::LibraryString;
using kavrel::test::LibraryText;
using kavrel::test::TempDir;
using kavrel::test::Wide;
using kavrel::test::WriteBytes;

class Exports : public ::testing::Test {
protected:
  void SetUp() override { Cleanup(); }
  void TearDown() override { Cleanup(); }
};

TEST_F(Exports, GetInfoCopiesAtMostCapacityMinusOne) {
  const LibraryString version = LibraryText(u"Norvane Reverse Geocoder DLL version 1.0");
  const LibraryString identity = LibraryText(u"DLL_NORVANE_RGEO_DLL");
  struct Case {
    std::int32_t type;
    std::uint32_t capacity;
    LibraryString text;
  };
  const Case cases[] = {
      {1, 512, version},
      {1, 41, version},
      {1, 40, version.substr(0, 39)},
      {2, 41, version},
      {2, 2, LibraryText(u"N")},
      {1, 1, LibraryText(u"")},
      {3, 21, identity},
      {3, 20, identity.substr(0, 19)},
      {3, 5, LibraryText(u"DLL_")},
      {3, 100, identity},
  };
  for (const Case& c : cases) {
    LibraryString buffer(600, u'#');
    EXPECT_EQ(GetInfo(c.type, buffer.data(), c.capacity), KAVREL_OK) << c.type << "/" << c.capacity;
    EXPECT_EQ(buffer.substr(0, c.text.size()), c.text) << c.type << "/" << c.capacity;
    EXPECT_EQ(buffer[c.text.size()], 0) << c.type << "/" << c.capacity;
    // Nothing is written past the terminator.
    EXPECT_EQ(buffer[c.text.size() + 1], u'#') << c.type << "/" << c.capacity;
  }
}

TEST_F(Exports, GetInfoRefusesUnknownTypesAndMissingBuffers) {
  for (std::int32_t type : {0, 4, -1, 1000}) {
    LibraryString buffer(64, u'#');
    EXPECT_EQ(GetInfo(type, buffer.data(), 64), KAVREL_E_ARGUMENT) << type;
    EXPECT_EQ(buffer, LibraryString(64, u'#')) << type;
  }
  kavrel_char one = u'#';
  EXPECT_EQ(GetInfo(1, &one, 0), KAVREL_E_ARGUMENT);
  EXPECT_EQ(one, u'#');
  EXPECT_EQ(GetInfo(3, nullptr, 40), KAVREL_E_ARGUMENT);
}

TEST_F(Exports, IsJapanRegionBounds) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double lat, lon;
    std::int32_t inside;
  };
  const Case cases[] = {
      {24.0, 122.0, 1},     {35.681236, 139.767125, 1}, {45.9999, 148.9999, 1},
      {46.0, 140.0, 0},     {35.0, 149.0, 0},          {23.9999, 130.0, 0},
      {35.0, 121.9999, 0},  {-35.0, 139.0, 0},         {nan, 139.0, 1},
      {35.0, nan, 1},       {HUGE_VAL, 139.0, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(IsJapanRegion(c.lat, c.lon), c.inside) << c.lat << "," << c.lon;
}

TEST_F(Exports, StateRulesBeforeInitialize) {
  std::uint32_t size = 100;
  kavrel_char buffer[50];
  EXPECT_EQ(Cleanup(), KAVREL_E_NOT_READY);
  EXPECT_EQ(PreloadData(), KAVREL_E_NOT_READY);
  EXPECT_EQ(GetDatafilename(buffer, &size), KAVREL_E_NOT_READY);
  EXPECT_EQ(size, 100u);
  // These work at any time.
  EXPECT_EQ(SetStep(50, 3000), KAVREL_OK);
  EXPECT_EQ(SetSeparator(LibraryText(u"/").c_str()), KAVREL_OK);
  EXPECT_EQ(SetSeparator(nullptr), KAVREL_OK);
  EXPECT_EQ(GetInfo(3, buffer, 50), KAVREL_OK);
}

TEST_F(Exports, GetDatafilenameSizesItsBufferInBytes) {
  TempDir dir;
  const fs::path before = fs::current_path();
  kavrel::pack::PackageWriter writer;
  writer.Add("entry", "content");
  WriteBytes(dir / "abcdef.bin", writer.Serialize());
  fs::current_path(dir.Path());
  ASSERT_EQ(Initialize(LibraryText(u"abcdef.bin").c_str()), KAVREL_OK);  // 10 characters: 22 bytes with the terminator
  fs::current_path(before);

  std::uint32_t size = 0;
  EXPECT_EQ(GetDatafilename(nullptr, &size), KAVREL_E_FORMAT);
  EXPECT_EQ(size, 22u);

  LibraryString buffer(20, u'#');
  size = 21;
  EXPECT_EQ(GetDatafilename(buffer.data(), &size), KAVREL_E_FORMAT);
  EXPECT_EQ(size, 22u);
  EXPECT_EQ(buffer, LibraryString(20, u'#'));

  size = 22;
  EXPECT_EQ(GetDatafilename(buffer.data(), &size), KAVREL_OK);
  EXPECT_EQ(size, 22u);
  EXPECT_EQ(buffer.substr(0, 11), LibraryText(std::u16string_view(u"abcdef.bin\0", 11)));
  EXPECT_EQ(buffer[11], u'#');

  // A larger buffer is zero-filled over all its bytes.
  size = 30;
  EXPECT_EQ(GetDatafilename(buffer.data(), &size), KAVREL_OK);
  EXPECT_EQ(size, 30u);
  EXPECT_EQ(buffer.substr(0, 15), LibraryText(std::u16string_view(u"abcdef.bin\0\0\0\0\0", 15)));
  EXPECT_EQ(buffer[15], u'#');

  EXPECT_EQ(GetDatafilename(buffer.data(), nullptr), KAVREL_E_ARGUMENT);

  // A failed second Initialize empties the path: the terminator alone.
  EXPECT_EQ(Initialize(LibraryText(Wide(dir / "missing.bin")).c_str()), KAVREL_E_NO_FILE);
  EXPECT_EQ(GetDatafilename(nullptr, &size), KAVREL_E_FORMAT);
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(GetDatafilename(buffer.data(), &size), KAVREL_OK);
  EXPECT_EQ(buffer[0], 0);
}

TEST_F(Exports, InitializePassesTheEnginesCodeOn) {
  TempDir dir;
  WriteBytes(dir / "bad.bin", "not a package");
  EXPECT_EQ(Initialize(LibraryText(Wide(dir / "bad.bin")).c_str()), KAVREL_E_FORMAT);
  EXPECT_EQ(Initialize(LibraryText(Wide(dir / "bad.bin")).c_str()), KAVREL_E_ALREADY_OPEN);
}

}  // namespace

namespace kavrel::test {
namespace {

class ReverseGeocodingExport : public testing::Test {
protected:
  void SetUp() override {
    WriteBytes(m_dir / "kavreldata.bin", TokyoStationPackage().Serialize());
    ASSERT_EQ(Initialize(LibraryText(Wide(m_dir / "kavreldata.bin")).c_str()), 0);
    SetStep(100, 300);
    SetSeparator(LibraryText(u",").c_str());
  }
  void TearDown() override { Cleanup(); }

  TempDir m_dir;
  const LibraryString m_address = LibraryText(u"東京都,千代田区,丸の内一丁目");
};

TEST_F(ReverseGeocodingExport, TheTextComesOnlyWithRoomForItsTerminator) {
  const std::uint32_t size = static_cast<std::uint32_t>(m_address.size());
  struct Case {
    bool buffer;  // false: a null buffer
    std::uint32_t capacity;
    std::int32_t code;
  };
  // Without room the length needed (no terminator) is reported and the
  // buffer left alone; with room the capacity is left as it was.
  const Case cases[] = {
      {false, 0, KAVREL_E_FORMAT}, {false, 100, KAVREL_E_FORMAT}, {true, 0, KAVREL_E_FORMAT},
      {true, 5, KAVREL_E_FORMAT},  {true, size, KAVREL_E_FORMAT},  {true, size + 1, KAVREL_OK},
  };
  for (const Case& c : cases) {
    LibraryString buffer(size + 1, u'#');
    std::uint32_t length = c.capacity;
    std::int32_t elapsed = -1;
    EXPECT_EQ(ReverseGeocoding(35.681236, 139.767125, c.buffer ? buffer.data() : nullptr, &length, &elapsed),
              c.code) << c.buffer << "/" << c.capacity;
    EXPECT_GE(elapsed, 0) << c.buffer << "/" << c.capacity;
    EXPECT_EQ(length, c.code == KAVREL_OK ? c.capacity : size) << c.buffer << "/" << c.capacity;
    EXPECT_EQ(buffer, c.code == KAVREL_OK ? m_address + kavrel_char{0} : LibraryString(size + 1, u'#'))
        << c.buffer << "/" << c.capacity;
  }
}

TEST_F(ReverseGeocodingExport, MissingLengthOrPointIsReported) {
  kavrel_char buffer[64] = {};
  EXPECT_EQ(ReverseGeocoding(35.681236, 139.767125, buffer, nullptr, nullptr), KAVREL_E_ARGUMENT);
  std::uint32_t length = 64;
  std::int32_t elapsed = -1;
  EXPECT_EQ(ReverseGeocoding(30.0, 135.0, buffer, &length, &elapsed), KAVREL_E_NOT_FOUND);
  EXPECT_EQ(length, 64u);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_GE(elapsed, 0);
}

TEST(PointDistance, MatchesHubenysFormula) {
  struct Case {
    double lat1, lon1, lat2, lon2, metres;
  };
  const Case cases[] = {
      {35, 135, 35, 135, 0.0},
      {35, 135, 36, 135, 110949.754},
      {36, 135, 35, 135, 110949.754},
      {35, 135, 35, 136, 91288.170},
      {35, 136, 35, 135, 91288.170},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(PointDistance(c.lat1, c.lon1, c.lat2, c.lon2), c.metres, 0.001)
        << c.lat1 << "," << c.lon1 << " " << c.lat2 << "," << c.lon2;
  }
  const double there = PointDistance(35.681236, 139.767125, 34.702485, 135.495951);
  EXPECT_DOUBLE_EQ(there, PointDistance(34.702485, 135.495951, 35.681236, 139.767125));
}

TEST(Tokyo2Wgs84, AppliesTheLinearShift) {
  double lat = 0;
  double lon = 0;
  ASSERT_EQ(TOKYO2WGS84(35, 135, &lat, &lon), KAVREL_OK);
  EXPECT_NEAR(lat, 35.00321609, 1e-9);
  EXPECT_NEAR(lon, 134.997217865, 1e-9);

  double untouched = -1;
  EXPECT_EQ(TOKYO2WGS84(35, 135, nullptr, &untouched), KAVREL_E_ARGUMENT);
  EXPECT_EQ(untouched, -1);
  EXPECT_EQ(TOKYO2WGS84(35, 135, &untouched, nullptr), KAVREL_E_ARGUMENT);
  EXPECT_EQ(untouched, -1);
}

}  // namespace
}  // namespace kavrel::test
