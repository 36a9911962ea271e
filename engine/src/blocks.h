// Entry names and record layouts of the point and name blocks.
#pragma once

#include <cstdint>
#include <string>

namespace kavrel {

// Bytes in one point record: lat u32, lon u32, P u8, C u16, extra u8, S u24.
inline constexpr std::uint32_t kPointRecordSize = 15;
// Microdegrees of latitude in one band (0.01 degree).
inline constexpr std::uint32_t kBandHeight = 10000;
// Keys held by one S name block.
inline constexpr std::uint32_t kAreaKeysPerBlock = 1000;

// Name levels.
enum NameLevel : int { kLevelPref = 0, kLevelCity = 1, kLevelArea = 2 };

// The band of a latitude key: the key rounded down to a multiple of 10000.
inline std::uint32_t BandOf(std::uint32_t latKey) { return latKey / kBandHeight * kBandHeight; }

// Point block name of the band of latKey: band 35680000 gives
// "/L3/5/LLP35680000.gzbin" (no slash between L and the first digit).
std::u16string BuildPointBlockName(std::uint32_t latKey);

// Name block of a key at a level: "/P/000000.gzbin" for level 0 and
// "/C/000000.gzbin" for level 1, whatever the key; for level 2 (and any other
// level) "/S/%06u.gzbin" with the key rounded down to a multiple of 1000,
// more than six digits written in full.
std::u16string BuildNameBlockName(int level, std::uint32_t key);

}  // namespace kavrel
