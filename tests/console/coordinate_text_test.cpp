#include "coordinate_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

namespace kavrel::console {
namespace {

struct Case {
  const char* text;
  bool isCoordinate;
  double degrees;
};

void ExpectCases(const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c) {
    EXPECT_EQ(IsCoordinateText(c->text), c->isCoordinate) << '"' << c->text << '"';
    EXPECT_NEAR(ParseCoordinateText(c->text), c->degrees, 1e-9) << '"' << c->text << '"';
  }
}

TEST(CoordinateText, DecimalNotation) {
  const Case cases[] = {
      {"35.681236", true, 35.681236},
      {"139.767125E", true, 139.767125},  // an exponent letter without digits ends the number
      {"35.681236N", true, 35.681236},
      {"N35.681236", true, 0.0},          // a leading letter: unreadable
      {"35.40", true, 35.4},              // one full stop is always decimal
      {"3.56e1", true, 35.6},
      {"3.56E+1", true, 35.6},
      {"356.0e-1", true, 35.6},
      {"35.5e", true, 35.5},
      {"35.5e+", true, 35.5},
      {"-35.5", true, -35.5},
      {"+35.5", true, 35.5},
      {" \t35.5", true, 35.5},            // white space before the number is skipped
      {"35", false, 35.0},
      {"35.", false, 35.0},
      {".5", false, 0.5},
      {"news", false, 0.0},
      {"", false, 0.0},
      {"-", false, 0.0},
      {"0x1p3", false, 0.0},              // no hexadecimal: only the 0 is read
      {"inf", false, 0.0},
      {"nan", false, 0.0},
  };
  ExpectCases(std::begin(cases), std::end(cases));
}

TEST(CoordinateText, SouthOrWestRightAfterTheNumberIsNoCoordinate) {
  const Case cases[] = {
      {"35.681236S", true, 0.0},    {"139.767125W", true, 0.0}, {"35.681236s", true, 0.0},
      {"139.767125w", true, 0.0},   {"35.40.52S", true, 0.0},   {"139.46.1.65W", true, 0.0},
      {"3.56e1S", true, 0.0},
      // North, east, a letter before the number or apart from it change nothing.
      {"35.681236N", true, 35.681236}, {"139.767125e", true, 139.767125},
      {"S35.681236", true, 0.0},       {"35.681236 S", true, 35.681236},
  };
  ExpectCases(std::begin(cases), std::end(cases));
  for (const char* text : {"35.681236S", "139.46.1.65w", "0.0W"}) EXPECT_TRUE(NamesSouthOrWest(text)) << text;
  for (const char* text : {"35.681236N", "S35.6", "35.6 S", "0.0", "", "W"}) {
    EXPECT_FALSE(NamesSouthOrWest(text)) << text;
  }
}

TEST(CoordinateText, PackedNotation) {
  const Case cases[] = {
      {"35.40.52.45", true, 35.681236111},
      {"139.46.1.65", true, 139.767125},
      {"35.40.52", true, 35.681111111},
      {"35..40..52", true, 35.681111111},        // runs of full stops separate like one
      {"35.40.52N", true, 35.681111111},
      {"35.40.52.5", true, 35.681125},           // the fourth field counts hundredths
      {"35.40.52.45.99", true, 35.681236111},    // a fifth field is ignored
      {"35.75.00", true, 36.25},                 // no range test on minutes
      {"35.6812.5", true, 148.534722222},
      {"35.40.N52", true, 35.666666667},         // a field not starting with a digit ends reading
      {"-35.40.52", true, 0.0},
      {".35.40", false, 0.0},       // no digit before the first full stop
      {"35.40.52.45E", true, 35.681236111},
  };
  ExpectCases(std::begin(cases), std::end(cases));
}

TEST(CoordinateText, TextEndsAtCarriageReturnOrLineFeed) {
  const Case cases[] = {
      {"35.40.52\r\n", true, 35.681111111},
      {"35.40.52\n", true, 35.681111111},
      {"35.40\r.52", true, 35.4},   // the second full stop lies past the end: decimal
      {"35\r\n.5", false, 35.0},
      {"35.681236\r\n", true, 35.681236},
      {"\r\n35.5", false, 35.5},    // but reading a decimal number skips leading white space
  };
  ExpectCases(std::begin(cases), std::end(cases));
}

TEST(CoordinateText, PackedFieldOf256DigitsOrMoreReadsAsZero) {
  const std::string digits255(255, '1');
  const std::string digits256(256, '1');
  const double d255 = ParseCoordinateText((digits255 + ".0.0").c_str());
  EXPECT_TRUE(std::isfinite(d255));
  EXPECT_GT(d255, 1e250);
  EXPECT_EQ(ParseCoordinateText((digits256 + ".0.0").c_str()), 0.0);
  EXPECT_EQ(ParseCoordinateText(("35." + digits256 + ".0").c_str()), 0.0);
  // A long decimal number has no field buffer to overflow.
  EXPECT_NEAR(ParseCoordinateText(("35." + digits256).c_str()), 35.111111111, 1e-9);
}

TEST(CoordinateChar, ExactlyTheNineteenCoordinateCharacters) {
  const std::string members = "0123456789.NEWSnews";
  for (int c = 0; c < 256; ++c) {
    const bool expected = c != 0 && members.find(static_cast<char>(c)) != std::string::npos;
    EXPECT_EQ(IsCoordinateChar(static_cast<char>(c)), expected) << "byte " << c;
  }
}

TEST(CoordinateRunEnd, StopsAtTheFirstOtherByteOrTheTextEnd) {
  struct RunCase {
    const char* text;
    std::size_t runLength;
  };
  const RunCase cases[] = {
      {"35.681236,139.767125", 9}, {"N35.6 km", 5}, {",35.6", 0},
      {"35.6\r\n", 4},             {"35.6\n7", 4},   {"35.6", 4},
      {"", 0},                     {"Snews.9-1", 7},
  };
  for (const RunCase& c : cases) {
    EXPECT_EQ(static_cast<std::size_t>(CoordinateRunEnd(c.text) - c.text), c.runLength)
        << '"' << c.text << '"';
  }
}

// Every decimal text must give the very double "%lf" (strtod) gives, on the
// short path for up to 15 digits and on the long one beyond.
TEST(CoordinateText, DecimalsReadExactlyAsStrtodReadsThem) {
  std::mt19937 random(20261208);
  for (int i = 0; i < 300000; ++i) {
    std::string text;
    const int integerDigits = static_cast<int>(random() % 4);
    const int fractionDigits = static_cast<int>(random() % 20);
    for (int d = 0; d < integerDigits; ++d) text.push_back(static_cast<char>('0' + random() % 10));
    text.push_back('.');
    for (int d = 0; d < fractionDigits; ++d) text.push_back(static_cast<char>('0' + random() % 10));
    if (integerDigits + fractionDigits == 0) continue;
    ASSERT_EQ(ParseCoordinateText(text.c_str()), std::strtod(text.c_str(), nullptr)) << text;
  }
}

// Only what the reading uses, and a hemisphere letter after it, count as whole.
TEST(CoordinateText, ReadsWholeWhenEveryByteIsUsed) {
  const std::pair<const char*, bool> cases[] = {
      {"35.681236", true},  {"35.681236N", true}, {"139.767125E", true}, {"3.56e1", true},
      {"35.40.52.45", true}, {"35.40.52N", true}, {"35,68", false},      {"35.6 km", false},
      {"35.40.52.45.99", false}, {"abc", false}, {"", false},           {"35.6NE", false},
  };
  for (const auto& [text, whole] : cases) EXPECT_EQ(ReadsWhole(text), whole) << text;
}

}  // namespace
}  // namespace kavrel::console
