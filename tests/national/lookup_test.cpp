// Lookups on the national package built from the open town data.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "kavrel/platform/text.h"
#include "kavrelcore.h"
#include "library_text.h"
#include "test_support.h"

namespace kavrel::test {
namespace {

class NationalPackage : public testing::Test {
protected:
  void SetUp() override {
    KAVREL_REQUIRE_NATIONAL_PACKAGE();
    const LibraryString path = LibraryText(platform::Utf8ToUtf16(NationalPackagePath()));
    ASSERT_EQ(Initialize(path.c_str()), 0);
    m_initialized = true;
    SetSeparator(nullptr);
  }
  void TearDown() override {
    if (m_initialized) Cleanup();
  }

  // The address at the coordinate in UTF-8, or the result code as text.
  static std::string Lookup(double latitude, double longitude) {
    kavrel_char buffer[512];
    std::uint32_t length = 512;
    const std::int32_t code = ReverseGeocoding(latitude, longitude, buffer, &length, nullptr);
    if (code != KAVREL_OK) return "code " + std::to_string(code);
    return platform::Utf16ToUtf8(Utf16Text(buffer));
  }

  bool m_initialized = false;
};

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// The default package beside the programs, searched as the engine starts
// and as the console sets the search.
TEST_F(NationalPackage, TokyoStationIsInChiyoda) {
  EXPECT_EQ(Lookup(35.681236, 139.767125), "東京都千代田区丸の内一丁目");
  SetStep(50, 3000);
  EXPECT_EQ(Lookup(35.681236, 139.767125), "東京都千代田区丸の内一丁目");
}

TEST_F(NationalPackage, KnownPlacesGiveTheirPrefectureAndCity) {
  struct Case {
    double latitude, longitude;
    const char* prefectureAndCity;
  };
  const Case cases[] = {
      {43.062833, 141.355697, "北海道札幌市中央区"},
      {38.259260, 140.882032, "宮城県仙台市青葉区"},
      {36.560745, 136.657800, "石川県金沢市"},
      {35.170778, 136.882494, "愛知県名古屋市中村区"},
      {34.987182, 135.758744, "京都府京都市下京区"},
      {34.700013, 135.497728, "大阪府大阪市北区"},
      {34.401095, 132.456506, "広島県広島市中区"},
      {33.589783, 130.420591, "福岡県福岡市博多区"},
      {31.596716, 130.556430, "鹿児島県鹿児島市"},
      {26.214432, 127.678410, "沖縄県那覇市"},
  };
  for (auto [step, width] : {std::pair{50, 3000}, std::pair{100, 300}}) {
    SetStep(step, width);
    for (const Case& c : cases) {
      const std::string address = Lookup(c.latitude, c.longitude);
      EXPECT_TRUE(StartsWith(address, c.prefectureAndCity))
          << c.latitude << "," << c.longitude << " step " << step << ": " << address;
    }
  }
}

TEST_F(NationalPackage, OpenSeaFindsNothing) {
  SetStep(50, 3000);
  for (auto [latitude, longitude] : {std::pair{32.0, 138.0}, std::pair{30.0, 135.0}, std::pair{40.0, 147.0}}) {
    EXPECT_EQ(Lookup(latitude, longitude), "code -1005") << latitude << "," << longitude;
  }
}

}  // namespace
}  // namespace kavrel::test
