// The search exports as a host sees them: the buffer protocol of
// ReverseGeocoding and the two stateless helpers.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "kavrelcore.h"
#include "test_packages.h"

namespace kavrel::test {
namespace {

class ReverseGeocodingExport : public testing::Test {
protected:
  void SetUp() override {
    WriteBytes(m_dir / "kavreldata.bin", TokyoStationPackage().Serialize());
    ASSERT_EQ(Initialize(Wide(m_dir / "kavreldata.bin").c_str()), 0);
    SetStep(100, 300);
    SetSeparator(u",");
  }
  void TearDown() override { Cleanup(); }

  TempDir m_dir;
  const std::u16string m_address = u"東京都,千代田区,丸の内一丁目";
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
    std::u16string buffer(size + 1, u'#');
    std::uint32_t length = c.capacity;
    std::int32_t elapsed = -1;
    EXPECT_EQ(ReverseGeocoding(35.681236, 139.767125, c.buffer ? buffer.data() : nullptr, &length, &elapsed),
              c.code) << c.buffer << "/" << c.capacity;
    EXPECT_GE(elapsed, 0) << c.buffer << "/" << c.capacity;
    EXPECT_EQ(length, c.code == KAVREL_OK ? c.capacity : size) << c.buffer << "/" << c.capacity;
    EXPECT_EQ(buffer, c.code == KAVREL_OK ? m_address + u'\0' : std::u16string(size + 1, u'#'))
        << c.buffer << "/" << c.capacity;
  }
}

TEST_F(ReverseGeocodingExport, MissingLengthOrPointIsReported) {
  char16_t buffer[64] = {};
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
