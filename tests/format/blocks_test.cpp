#include "kavrel/format/blocks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "kavrel/platform/text.h"

namespace kavrel {
namespace {

std::string Narrow(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

TEST(BlockNames, PointBlockIsNamedAfterTheBandOfTheLatitude) {
  struct Case {
    std::uint32_t latKey;
    const char* name;
  };
  const Case cases[] = {
      {35681234, "/L3/5/LLP35680000.gzbin"},
      {35680000, "/L3/5/LLP35680000.gzbin"},  // on the band boundary
      {35679999, "/L3/5/LLP35670000.gzbin"},  // just below it
      {35670000, "/L3/5/LLP35670000.gzbin"},
      {35690001, "/L3/5/LLP35690000.gzbin"},
      {26212345, "/L2/6/LLP26210000.gzbin"},
      {10000, "/L1/0/LLP10000.gzbin"},
      {9999, "/L0//LLP0.gzbin"},  // one-digit band: the second level is empty
      {0, "/L0//LLP0.gzbin"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Narrow(BuildPointBlockName(c.latKey)), c.name) << c.latKey;
    EXPECT_EQ(PointBlockBand(BuildPointBlockName(c.latKey)), BandOf(c.latKey)) << c.latKey;
  }
  // Bands past 2^31 are written as negative numbers and read back.
  EXPECT_EQ(PointBlockBand(BuildPointBlockName(0xFFFF0000u)), BandOf(0xFFFF0000u));
}

TEST(BlockNames, OnlyTheExactNamesOfBlocksAreRead) {
  const char16_t* notPointBlocks[] = {
      u"/L3/5/LLP35680001.gzbin",   // not a band
      u"/L3/5/LLP035680000.gzbin",  // a leading zero
      u"/L3/6/LLP35680000.gzbin",   // the wrong folder
      u"/L3/5/LLP35680000.bin",     u"/L3/5/LLP.gzbin", u"/L3/5/LLP3x680000.gzbin",
  };
  for (const char16_t* name : notPointBlocks) EXPECT_FALSE(PointBlockBand(name)) << Narrow(name);
  EXPECT_EQ(NameBlockFirstKey(kLevelArea, u"/S/123000.gzbin"), 123000u);
  EXPECT_EQ(NameBlockFirstKey(kLevelPref, u"/P/000000.gzbin"), 0u);
  const std::pair<int, const char16_t*> notNameBlocks[] = {
      {kLevelArea, u"/S/123001.gzbin"}, {kLevelArea, u"/S/12300.gzbin"}, {kLevelArea, u"/P/000000.gzbin"},
      {kLevelPref, u"/P/001000.gzbin"}, {kLevelCity, u"/C/-00000.gzbin"}, {kLevelCity, u"/C/000000.gzbinx"},
  };
  for (const auto& [level, name] : notNameBlocks) EXPECT_FALSE(NameBlockFirstKey(level, name)) << Narrow(name);
}

TEST(BlockNames, NameBlockHoldsItsLevelAndThousandOfKeys) {
  struct Case {
    int level;
    std::uint32_t key;
    const char* name;
  };
  const Case cases[] = {
      {0, 0, "/P/000000.gzbin"},        {0, 47, "/P/000000.gzbin"},
      {0, 123456, "/P/000000.gzbin"},   {1, 0, "/C/000000.gzbin"},
      {1, 65535, "/C/000000.gzbin"},    {2, 123456, "/S/123000.gzbin"},
      {2, 999, "/S/000000.gzbin"},      {2, 1000, "/S/001000.gzbin"},
      {2, 1999, "/S/001000.gzbin"},     {2, 12345678, "/S/12345000.gzbin"},  // more than six digits: in full
      {2, 0xFFFFFF, "/S/16777000.gzbin"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Narrow(BuildNameBlockName(c.level, c.key)), c.name) << c.level << " " << c.key;
  }
}

TEST(PointRecord, FifteenLittleEndianBytes) {
  std::string block;
  AppendPointRecord(block, PointRecord{0x04030201u, 0x08070605u, 0x09, 0x0B0A, 0x0C, 0x0F0E0Du});
  EXPECT_EQ(block, std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F", 15));
  const PointRecord back = ReadPointRecord(reinterpret_cast<const unsigned char*>(block.data()));
  EXPECT_EQ(back, (PointRecord{0x04030201u, 0x08070605u, 0x09, 0x0B0A, 0x0C, 0x0F0E0Du}));
}

}  // namespace
}  // namespace kavrel
