// The outputs' own number formatting against the stdio output it stands in
// for.
#include "kavrel/output/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace kavrel::output {
namespace {

std::string PrintfFixed6(double value) {
  char text[400];
  std::snprintf(text, sizeof text, "%f", value);
  return text;
}

TEST(AppendFixed6, GivesTheDigitsOfPrintf) {
  // Halfway cases (exact in binary: 35.5078125 = 35 + 65/128) round to even
  // in both; values close to them and to the coordinate ranges' edges too.
  std::vector<double> values = {0.0,        -0.0,        35.681236,  139.767125, 35.5078125,
                                35.5078135, 0.0000005,   0.0000015,  0.0000025,  24.0,
                                45.9999995, 148.9999995, 1e21,       -2.5e-7,    123456789.0000005,
                                std::nextafter(35.5078125, 0.0), std::nextafter(35.5078125, 99.0)};
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> latitude(24.0, 46.0);
  std::uniform_real_distribution<double> any(-1e6, 1e6);
  for (int i = 0; i < 200000; ++i) values.push_back(latitude(random));
  for (int i = 0; i < 20000; ++i) values.push_back(any(random));
  // Every multiple of 1/128 near Tokyo: all of them hit a tie or are exact.
  for (int i = 0; i < 128 * 4; ++i) values.push_back(35.0 + i / 128.0);
  // Coordinates read from six decimals (the common case, written from their
  // millionths), their neighbouring doubles and values just off them, of
  // both signs, up to the largest below 1,000 and just past it.
  std::uniform_int_distribution<std::int64_t> millionths(-1'000'000'000, 1'000'000'000);
  for (int i = 0; i < 100000; ++i) {
    const double read = std::strtod(std::to_string(millionths(random) / 1e6).c_str(), nullptr);
    for (const double near : {read, std::nextafter(read, 0.0), std::nextafter(read, 2e3), read + 4e-10,
                              read - 2e-9, -read}) {
      values.push_back(near);
    }
  }
  for (const double edge : {999.999999, 999.9999995, 1000.0, 1000.000001, -999.999999, -1e-12, 1e-12, 4.9e-7}) {
    values.push_back(edge);
  }
  for (const double value : values) {
    std::string text;
    AppendFixed6(text, value);
    ASSERT_EQ(text, PrintfFixed6(value)) << value;
  }
  for (const double special : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    std::string text;
    AppendFixed6(text, special);
    EXPECT_EQ(text, PrintfFixed6(special));
  }
}

TEST(AppendMetres, GivesOneDecimal) {
  struct Case {
    double metres;
    const char* text;
  };
  const Case cases[] = {{0.0, "0.0"}, {12.345, "12.3"}, {0.05, "0.1"}, {0.04, "0.0"},
                        {388123.96, "388124.0"}, {1e7, "10000000.0"}};
  for (const Case& c : cases) {
    std::string text;
    AppendMetres(text, c.metres);
    EXPECT_EQ(text, c.text) << c.metres;
  }
}

}  // namespace
}  // namespace kavrel::output
