// The microdegree rounding and a name block read whole.
#include "block_codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kavrel::pack {
namespace {

TEST(MicrodegreeKey, RoundsToTheNearestMicrodegree) {
  const struct { double degrees; std::uint32_t key; } cases[] = {
      {35.681236, 35681236u},   // truncation would give 35681235
      {139.767125, 139767125u},
      {35.6799996, 35680000u},
      {35.6800004, 35680000u},
      {35.0000005, 35000001u},  // halfway rounds away from zero
      {0.0, 0u},
      {180.0, 180000000u},
      {-0.000001, 0xFFFFFFFFu},  // wraps around as the engine's conversion does
      {-33.868820, static_cast<std::uint32_t>(-33868820)},
  };
  for (const auto& c : cases) EXPECT_EQ(MicrodegreeKey(c.degrees), c.key) << c.degrees;
  // Every six-decimal value keeps its digits.
  for (std::uint32_t micro = 35600000; micro < 35700000; micro += 7) {
    EXPECT_EQ(MicrodegreeKey(std::stod("35." + std::to_string(micro).substr(2))), micro);
  }
}

TEST(NameBlock, RecordsReadBackAndATruncatedOneStopsTheScan) {
  std::string block;
  AppendNameRecord(block, 1, "ab");
  AppendNameRecord(block, 70000, "");
  AppendNameRecord(block, 0x01020304u, "xyz");
  EXPECT_EQ(block.substr(0, 7), std::string("\x01\x00\x00\x00\x02" "ab", 7));
  bool complete = false;
  std::vector<NameRecord> records = ReadNameBlock(block, complete);
  EXPECT_TRUE(complete);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].key, 70000u);
  EXPECT_EQ(records[1].text, "");
  EXPECT_EQ(records[2].key, 0x01020304u);
  EXPECT_EQ(records[2].text, "xyz");

  for (std::size_t cut = 1; cut < 8; ++cut) {
    records = ReadNameBlock(std::string_view(block).substr(0, block.size() - cut), complete);
    EXPECT_FALSE(complete) << cut;
    EXPECT_EQ(records.size(), 2u) << cut;
  }
}

}  // namespace
}  // namespace kavrel::pack
