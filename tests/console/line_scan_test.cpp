#include "line_scan.h"

#include <gtest/gtest.h>

#include <string>

namespace kavrel::console {
namespace {

struct Case {
  std::string line;
  double latitude;
  double longitude;
};

void ExpectPairs(const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c) {
    const CoordinatePair pair = ScanCoordinatePair(c->line.c_str());
    EXPECT_NEAR(pair.latitude, c->latitude, 1e-9) << '"' << c->line << '"';
    EXPECT_NEAR(pair.longitude, c->longitude, 1e-9) << '"' << c->line << '"';
  }
}

TEST(ScanCoordinatePair, FindsThePairInAnyColumnOrder) {
  const Case cases[] = {
      {"35.681236,139.767125\r\n", 35.681236, 139.767125},
      {"139.767125 35.681236\r\n", 35.681236, 139.767125},
      {"139.767125\t35.681236", 35.681236, 139.767125},
      {"35.681236;139.767125", 35.681236, 139.767125},
      {"35.40.52.45,139.46.1.65\r\n", 35.681236111, 139.767125},
      {"35.681236N,139.767125E", 35.681236, 139.767125},
      {"#35.681236,139.767125", 35.681236, 139.767125},  // no comment syntax
      {"24.0,122.0", 24.0, 122.0},                        // lower bounds belong to the ranges
  };
  ExpectPairs(std::begin(cases), std::end(cases));
}

TEST(ScanCoordinatePair, ANumberEndingInSouthOrWestIsNoCoordinate) {
  const Case cases[] = {
      {"35.681236S,139.767125W\r\n", 0.0, 0.0},
      {"35.681236,139.767125W", 35.681236, 0.0},
      {"35.681236s,139.767125", 0.0, 139.767125},
      // Skipped like any number out of range: a later pair is still found.
      {"35.1S,139.1W,35.681236,139.767125", 35.681236, 139.767125},
  };
  ExpectPairs(std::begin(cases), std::end(cases));
}

TEST(ScanCoordinatePair, OtherFieldsAreOnlyTakenWhenInRange) {
  const Case cases[] = {
      {"1,Station,35.681236,139.767125,12.5", 35.681236, 139.767125},
      {"46.0,35.5,149.0,139.5", 35.5, 139.5},             // upper bounds do not
      {"23.99,35.5,121.99,139.5", 35.5, 139.5},
      // A number in the longitude range before the real pair is taken, and
      // the scan ends as soon as both values are set.
      {"130.5,35.681236,139.767125", 35.681236, 130.5},
      {"35.5,139.5,36.5,140.5", 35.5, 139.5},
      // A second latitude before the longitude replaces the first.
      {"35.1,35.2,139.5", 35.2, 139.5},
  };
  ExpectPairs(std::begin(cases), std::end(cases));
}

TEST(ScanCoordinatePair, TokensThatAreNotCoordinates) {
  const Case cases[] = {
      {"35,139\r\n", 0.0, 0.0},               // integers are not taken
      {"35.,139.", 0.0, 0.0},
      {"lat,lon\r\n", 0.0, 0.0},
      {"\r\n", 0.0, 0.0},
      {"", 0.0, 0.0},
      {"N35.681236,139.767125E", 0.0, 139.767125},  // a leading letter makes the token unreadable
      // A number with a minus sign is negative, so never a coordinate in Japan.
      {"-35.5,139.5", 0.0, 139.5},
      {"-35.68,-139.76\r\n", 0.0, 0.0},
      {"x -35.68 139.76 35.5", 35.5, 139.76},
      {"N-35.68,139.76", 0.0, 139.76},
      // A dash between two numbers is no sign.
      {"35.681236-139.767125", 35.681236, 139.767125},
      {"35.-139.767125,35.5", 35.5, 139.767125},
      // A trail byte equal to 'N' joins the number after it (code page 932 "ク").
      {"\x83N35.681236,139.767125", 0.0, 139.767125},
  };
  ExpectPairs(std::begin(cases), std::end(cases));
}

TEST(ScanCoordinatePair, ScanEndsAtTheFirstNulCarriageReturnOrLineFeed) {
  const Case cases[] = {
      {"35.681236\r139.767125\n", 35.681236, 0.0},
      {"35.681236\n139.767125", 35.681236, 0.0},
      {std::string("35.681236\0,139.767125", 21), 35.681236, 0.0},
  };
  ExpectPairs(std::begin(cases), std::end(cases));
}

TEST(ScanCoordinatePair, RunsOf128CharactersOrMoreAreSkipped) {
  // 35.681236 followed by zeros, as one run of the given length.
  auto run = [](std::size_t length) { return "35.681236" + std::string(length - 9, '0'); };
  const Case cases[] = {
      {run(127) + ",139.767125", 35.681236, 139.767125},
      {run(128) + ",139.767125", 0.0, 139.767125},
      {run(5000) + ",139.767125,35.5", 35.5, 139.767125},
  };
  ExpectPairs(std::begin(cases), std::end(cases));
}

}  // namespace
}  // namespace kavrel::console
