// The bodies of batch requests: CSV and JSON pairs, accepted and refused.
#include "batch_body.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kavrel::serve {
namespace {

TEST(ReadBatchBody, TakesCsvAndJsonPairs) {
  struct Case {
    const char* body;
    std::vector<double> latitudes, longitudes;
  };
  const Case cases[] = {
      {"", {}, {}},
      {"35.5,139.5\n", {35.5}, {139.5}},
      {"lat,lon\r\n35.5, 139.5\r\n\r\n-1e1,-170", {35.5, -10.0}, {139.5, -170.0}},
      {"\"lat\",\"lon\"\n35,139\n", {35.0}, {139.0}},
      {" [ [35.5,139.5] , [ -90 , 180 ] ] \n", {35.5, -90.0}, {139.5, 180.0}},
      {"[]", {}, {}},
  };
  for (const Case& c : cases) {
    BatchPoints points;
    std::string why;
    ASSERT_EQ(ReadBatchBody(c.body, 100, points, why), BodyResult::kRead) << c.body << ": " << why;
    EXPECT_EQ(points.latitudes, c.latitudes) << c.body;
    EXPECT_EQ(points.longitudes, c.longitudes) << c.body;
  }
}

TEST(ReadBatchBody, RefusesWhatIsNotPairsNamingWhere) {
  struct Case {
    const char* body;
    const char* where;
  };
  const Case cases[] = {
      {"35,139\nlat,lon\n", "line 2"},       // a header only first
      {"35,139,7\n", "line 1"},              // three fields
      {"91,139\n", "line 1"},                // out of range
      {"35,inf\n", "line 1"},                // not finite
      {"35,+139\n", "line 1"},               // no plus sign
      {"35 139\n", "line 1"},
      {"[[35,139],]", "offset 10"},
      {"[[35,139]", "offset 9"},
      {"[[35,139]] []", "offset 11"},
      {"[[nan,139]]", "offset 2"},
      {"[35,139]", "offset 1"},
  };
  for (const Case& c : cases) {
    BatchPoints points;
    std::string why;
    EXPECT_EQ(ReadBatchBody(c.body, 100, points, why), BodyResult::kMalformed) << c.body;
    EXPECT_EQ(why.rfind(c.where, 0), 0u) << c.body << ": " << why;
  }
}

TEST(ReadBatchBody, StopsPastTheMostPoints) {
  BatchPoints points;
  std::string why;
  EXPECT_EQ(ReadBatchBody("35,139\n35,139\n", 2, points, why), BodyResult::kRead);
  points = {};
  EXPECT_EQ(ReadBatchBody("35,139\n35,139\n35,139\n", 2, points, why), BodyResult::kTooManyPoints);
  EXPECT_EQ(points.latitudes.size(), 2u);
  points = {};
  EXPECT_EQ(ReadBatchBody("[[35,139],[35,139],[35,139]]", 2, points, why), BodyResult::kTooManyPoints);
}

}  // namespace
}  // namespace kavrel::serve
