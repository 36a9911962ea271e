// What kavrel-pack adds to the block records of the format: coordinate keys
// from decimal degrees and a name block read whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kavrel/format/blocks.h"

namespace kavrel::pack {

// The key of a coordinate in decimal degrees: rounded to the nearest
// microdegree, as 32 bits (a negative value wraps around, as the engine's
// own conversion does). `degrees` must be finite and within +-180.
std::uint32_t MicrodegreeKey(double degrees);

// One record of a name block, its text copied.
struct NameRecord {
  std::uint32_t key = 0;
  std::string text;  // code page 932 bytes
};

// The records of a name block, in block order. Stops at the first record that
// would run past the end, as the engine's scan does, and then sets
// `complete` to false.
std::vector<NameRecord> ReadNameBlock(std::string_view block, bool& complete);

}  // namespace kavrel::pack
