// The query parameters of /reverse.
#include "reverse_request.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace kavrel::serve {
namespace {

TEST(ReadReverseRequest, ReadsTheParametersAndDefaults) {
  ReverseRequest request;
  std::string why;
  ASSERT_TRUE(ReadReverseRequest({{"lat", "35.5"}, {"lon", "139.25"}, {"email", "x"}}, true, false, request, why));
  EXPECT_EQ(request.latitude, 35.5);
  EXPECT_EQ(request.longitude, 139.25);
  EXPECT_EQ(request.format, AnswerFormat::kJson);
  EXPECT_EQ(request.detail, AddressDetail::kArea);
  EXPECT_EQ(request.query.mode, KAVREL_MODE_NEAREST);
  EXPECT_EQ(request.query.max_distance, 0.0);  // the library's default reach

  ASSERT_TRUE(ReadReverseRequest({{"lat", "35"}, {"lon", "139"}, {"mode", "designed"}, {"step", "100"},
                                  {"width", "300"}, {"max_distance", "inf"}, {"format", "geocodejson"}},
                                 true, false, request, why));
  EXPECT_EQ(request.query.mode, KAVREL_MODE_DESIGNED);
  EXPECT_EQ(request.query.step, 100);
  EXPECT_EQ(request.query.width, 300);
  EXPECT_TRUE(std::isinf(request.query.max_distance));
  EXPECT_EQ(request.format, AnswerFormat::kGeocodeJson);

  ReverseRequest batch;
  ASSERT_TRUE(ReadReverseRequest({}, false, true, batch, why));
  EXPECT_EQ(batch.format, AnswerFormat::kJsonLines);
}

TEST(ReadReverseRequest, ZoomChoosesTheDetail) {
  struct Case {
    const char* zoom;
    AddressDetail detail;
  };
  const Case cases[] = {{"0", AddressDetail::kPrefecture}, {"7", AddressDetail::kPrefecture},
                        {"8", AddressDetail::kCity},       {"13", AddressDetail::kCity},
                        {"14", AddressDetail::kArea},      {"18", AddressDetail::kArea}};
  for (const Case& c : cases) {
    ReverseRequest request;
    std::string why;
    ASSERT_TRUE(ReadReverseRequest({{"lat", "35"}, {"lon", "139"}, {"zoom", c.zoom}}, true, false, request, why));
    EXPECT_EQ(request.detail, c.detail) << c.zoom;
  }
}

TEST(ReadReverseRequest, RefusesNamingTheParameter) {
  struct Case {
    Parameters parameters;
    bool batch;
    const char* named;
  };
  const Case cases[] = {
      {{{"lon", "139"}}, false, "'lat'"},
      {{{"lat", "35"}, {"lon", "139x"}}, false, "'lon'"},
      {{{"lat", "nan"}, {"lon", "139"}}, false, "'lat'"},
      {{{"lat", "-90.5"}, {"lon", "139"}}, false, "'lat'"},
      {{{"lat", "35"}, {"lon", "180.1"}}, false, "'lon'"},
      {{{"lat", "35"}, {"lon", "139"}, {"format", "jsonl"}}, false, "'format'"},
      {{{"format", "geojson"}}, true, "'format'"},
      {{{"lat", "35"}, {"lon", "139"}, {"zoom", "19"}}, false, "'zoom'"},
      {{{"lat", "35"}, {"lon", "139"}, {"zoom", "-1"}}, false, "'zoom'"},
      {{{"lat", "35"}, {"lon", "139"}, {"mode", "Nearest"}}, false, "'mode'"},
      {{{"lat", "35"}, {"lon", "139"}, {"max_distance", "0"}}, false, "'max_distance'"},
      {{{"lat", "35"}, {"lon", "139"}, {"max_distance", "nan"}}, false, "'max_distance'"},
      {{{"lat", "35"}, {"lon", "139"}, {"width", "-3"}}, false, "'width'"},
  };
  for (const Case& c : cases) {
    ReverseRequest request;
    std::string why;
    EXPECT_FALSE(ReadReverseRequest(c.parameters, !c.batch, c.batch, request, why)) << c.named;
    EXPECT_NE(why.find(c.named), std::string::npos) << why;
  }
}

TEST(BatchFormatOfAccept, FollowsTheMediaType) {
  EXPECT_EQ(BatchFormatOfAccept("text/csv"), AnswerFormat::kCsv);
  EXPECT_EQ(BatchFormatOfAccept("application/json, */*"), AnswerFormat::kJson);
  EXPECT_EQ(BatchFormatOfAccept("*/*"), AnswerFormat::kJsonLines);
  EXPECT_EQ(BatchFormatOfAccept(""), AnswerFormat::kJsonLines);
}

}  // namespace
}  // namespace kavrel::serve
