// The answer objects of /reverse, byte for byte where clients read them.
#include "reverse_answer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace kavrel::serve {
namespace {

kavrel_answer Tokyo() {
  return {"東京都", "千代田区", "丸の内\"一\"丁目", 13, 101, 5, 35.68156, 139.767201, 36.64};
}

TEST(AppendAnswer, JsonAndJsonV2) {
  const AnswerContext context{"CC BY 4.0"};
  std::string json;
  AppendAnswer(json, context, AnswerFormat::kJson, AddressDetail::kArea, Tokyo());
  EXPECT_EQ(json,
            "{\"place_id\":14295345659909,\"licence\":\"CC BY 4.0\",\"lat\":\"35.681560\",\"lon\":\"139.767201\","
            "\"name\":\"丸の内\\\"一\\\"丁目\",\"display_name\":\"丸の内\\\"一\\\"丁目, 千代田区, 東京都, 日本\","
            "\"address\":{\"country_code\":\"jp\",\"neighbourhood\":\"丸の内\\\"一\\\"丁目\",\"city\":\"千代田区\","
            "\"province\":\"東京都\",\"ISO3166-2-lvl4\":\"JP-13\",\"country\":\"日本\"},\"distance\":36.6}");
  std::string v2;
  AppendAnswer(v2, context, AnswerFormat::kJsonV2, AddressDetail::kPrefecture, Tokyo());
  EXPECT_EQ(v2,
            "{\"place_id\":14293651161088,\"licence\":\"CC BY 4.0\",\"lat\":\"35.681560\",\"lon\":\"139.767201\","
            "\"category\":\"place\",\"type\":\"province\",\"addresstype\":\"province\",\"name\":\"東京都\","
            "\"display_name\":\"東京都, 日本\",\"address\":{\"country_code\":\"jp\",\"province\":\"東京都\","
            "\"ISO3166-2-lvl4\":\"JP-13\",\"country\":\"日本\"},\"distance\":36.6}");
}

TEST(AppendAnswer, TheIsoCodeFollowsThePrefecturesNameNotItsKey) {
  // Packages built from the national data key prefectures by their number,
  // others need not.
  struct Case {
    const char* prefecture;
    std::uint32_t key;
    const char* code;  // null: no ISO member
  };
  const Case cases[] = {{"東京都", 13, "JP-13"}, {"東京都", 1, "JP-13"}, {"東京都", 0, "JP-13"},
                        {"北海道", 0, "JP-01"},  {"沖縄県", 255, "JP-47"}, {"東京", 13, nullptr},
                        {"", 1, nullptr}};
  for (const Case& c : cases) {
    kavrel_answer found = Tokyo();
    found.prefecture = c.prefecture;
    found.prefecture_key = c.key;
    std::string json;
    AppendAnswer(json, {"L"}, AnswerFormat::kJson, AddressDetail::kArea, found);
    const std::size_t at = json.find("\"ISO3166-2-lvl4\":");
    if (c.code == nullptr) {
      EXPECT_EQ(at, std::string::npos) << c.prefecture << " " << c.key;
    } else {
      EXPECT_EQ(json.substr(at, 24), std::string("\"ISO3166-2-lvl4\":\"") + c.code + "\"") << c.key;
    }
  }
}

TEST(AppendAnswer, GeoJsonPutsThePointInTheGeometry) {
  std::string geojson;
  AppendAnswer(geojson, {"L"}, AnswerFormat::kGeoJson, AddressDetail::kCity, Tokyo());
  EXPECT_EQ(geojson.rfind("{\"type\":\"FeatureCollection\",\"licence\":\"L\",\"features\":[{\"type\":\"Feature\","
                          "\"properties\":{\"place_id\":",
                          0),
            0u);
  EXPECT_NE(geojson.find("\"type\":\"city\""), std::string::npos);
  EXPECT_NE(geojson.find("\"geometry\":{\"type\":\"Point\",\"coordinates\":[139.767201,35.681560]}}]}"),
            std::string::npos);
}

TEST(ErrorsAndRows, AreTheObjectsClientsRead) {
  std::string text;
  AppendUnableToGeocode(text);
  EXPECT_EQ(text, "{\"error\":\"Unable to geocode\"}");
  text.clear();
  AppendError(text, 400, "Parameter 'lat' is \"missing\".");
  EXPECT_EQ(text, "{\"error\":{\"code\":400,\"message\":\"Parameter 'lat' is \\\"missing\\\".\"}}");
  text.clear();
  const kavrel_answer tokyo = Tokyo();
  AppendCsvRow(text, 35.681236, 139.767125, &tokyo);
  AppendCsvRow(text, 32, 145, nullptr);
  EXPECT_EQ(text, "35.681236,139.767125,東京都,千代田区,\"丸の内\"\"一\"\"丁目\",36.6\n32.000000,145.000000,,,,\n");
}

TEST(LicenceLine, MakesOneLine) {
  EXPECT_EQ(LicenceLine("  Data:\r\n  CC BY 4.0\n\n"), "Data: CC BY 4.0");
  EXPECT_EQ(LicenceLine(""), "");
}

}  // namespace
}  // namespace kavrel::serve
