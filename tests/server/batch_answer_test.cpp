// A batch answer made in runs over several lanes reads as the rows looked up
// one by one, in order, whatever the lanes and the run boundaries.
#include "batch_answer.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "test_support.h"

namespace kavrel::serve {
namespace {

using Handle = std::unique_ptr<kavrel_geocoder, void (*)(kavrel_geocoder*)>;

Handle OpenNational() {
  kavrel_geocoder* handle = nullptr;
  EXPECT_EQ(kavrel_open(test::NationalPackagePath().c_str(), &handle), KAVREL_SUCCESS);
  return Handle(handle, kavrel_close);
}

// Points over the whole covered box, land and sea: answers and rows without one.
BatchPoints RandomPoints(std::size_t count) {
  std::mt19937 generator(20261209);
  std::uniform_real_distribution<double> latitude(24.0, 46.0);
  std::uniform_real_distribution<double> longitude(122.0, 149.0);
  BatchPoints points;
  for (std::size_t i = 0; i < count; ++i) {
    points.latitudes.push_back(latitude(generator));
    points.longitudes.push_back(longitude(generator));
  }
  return points;
}

// The rows of `format` made the plain way: one kavrel_lookup per point.
std::string OneByOne(const kavrel_geocoder* handle, const AnswerContext& context, const ReverseRequest& request,
                     const BatchPoints& points) {
  const std::size_t rows = points.latitudes.size();
  std::string text = request.format == AnswerFormat::kCsv ? std::string(kCsvHeader) : "";
  if (request.format == AnswerFormat::kJson) text = "[";
  for (std::size_t i = 0; i < rows; ++i) {
    kavrel_answer found;
    const bool answered = kavrel_lookup(handle, points.latitudes[i], points.longitudes[i], &request.query, &found) ==
                          KAVREL_SUCCESS;
    if (request.format == AnswerFormat::kCsv) {
      AppendCsvRow(text, points.latitudes[i], points.longitudes[i], answered ? &found : nullptr);
      continue;
    }
    if (request.format == AnswerFormat::kJson && i > 0) text += ",";
    answered ? AppendAnswer(text, context, AnswerFormat::kJson, request.detail, found) : AppendUnableToGeocode(text);
    if (request.format == AnswerFormat::kJsonLines) text += "\n";
  }
  if (request.format == AnswerFormat::kJson) text += "]";
  return text;
}

std::string AllOf(BatchAnswer& batch) {
  std::string text;
  EXPECT_EQ(batch.Start(), KAVREL_SUCCESS);
  EXPECT_TRUE(batch.Send([&text](std::string_view run) {
    text += run;
    return true;
  }));
  return text;
}

TEST(BatchAnswer, RunsOverLanesGiveTheRowsInOrderInEveryFormat) {
  KAVREL_REQUIRE_NATIONAL_PACKAGE();
  const Handle handle = OpenNational();
  const AnswerContext context{"L"};
  // More runs than the slots of three lanes, ending inside a run.
  const BatchPoints points = RandomPoints(kRowsPerLane * 7 + 17);
  for (const AnswerFormat format : {AnswerFormat::kJsonLines, AnswerFormat::kJson, AnswerFormat::kCsv}) {
    for (const std::int32_t mode : {KAVREL_MODE_NEAREST, KAVREL_MODE_DESIGNED}) {
      ReverseRequest request;
      request.format = format;
      request.query.mode = mode;
      const std::string expected = OneByOne(handle.get(), context, request, points);
      for (const std::size_t lanes : {1u, 2u, 3u}) {
        BatchAnswer batch(handle.get(), context, request, points, lanes);
        EXPECT_EQ(AllOf(batch), expected) << "format " << static_cast<int>(format) << ", mode " << mode
                                          << ", lanes " << lanes;
      }
    }
  }
}

TEST(BatchAnswer, ABatchOfNoRowsIsStillWholeAndAFailureStopsIt) {
  KAVREL_REQUIRE_NATIONAL_PACKAGE();
  const Handle handle = OpenNational();
  const AnswerContext context{"L"};
  const struct {
    AnswerFormat format;
    const char* text;
  } empty[] = {{AnswerFormat::kJsonLines, ""}, {AnswerFormat::kJson, "[]"}, {AnswerFormat::kCsv, kCsvHeader.data()}};
  for (const auto& row : empty) {
    ReverseRequest request;
    request.format = row.format;
    BatchAnswer batch(handle.get(), context, request, {}, 2);
    EXPECT_EQ(AllOf(batch), row.text);
  }
  ReverseRequest unusable;
  unusable.query.mode = 7;
  BatchAnswer failing(handle.get(), context, unusable, RandomPoints(10), 2);
  EXPECT_EQ(failing.Start(), KAVREL_INVALID_ARGUMENT);
  EXPECT_FALSE(failing.Send([](std::string_view) { return true; }));
  EXPECT_EQ(failing.Failure(), KAVREL_INVALID_ARGUMENT);

  // A write that fails (the client has gone) is the last: no run after it
  // is written.
  ReverseRequest request;
  for (const std::size_t lanes : {1u, 2u}) {
    BatchAnswer cut(handle.get(), context, request, RandomPoints(kRowsPerLane * 6), lanes);
    ASSERT_EQ(cut.Start(), KAVREL_SUCCESS);
    int writes = 0;
    EXPECT_FALSE(cut.Send([&writes](std::string_view) { return ++writes < 3; }));
    EXPECT_EQ(writes, 3) << "lanes " << lanes;
    EXPECT_EQ(cut.Failure(), KAVREL_SUCCESS);
  }
}

}  // namespace
}  // namespace kavrel::serve
