#include "block_codec.h"

#include <cmath>

namespace kavrel::pack {

std::uint32_t MicrodegreeKey(double degrees) {
  // Rounding, not truncation: 35.681236 * 1e6 is 35681235.99999... in binary,
  // and truncating would give the key below the one written.
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::llround(degrees * 1e6)));
}

std::vector<NameRecord> ReadNameBlock(std::string_view block, bool& complete) {
  std::vector<NameRecord> records;
  std::size_t offset = 0;
  while (const std::optional<NameRecordView> record = NextNameRecord(block, offset)) {
    records.push_back(NameRecord{record->key, std::string(record->text)});
  }
  complete = offset == block.size();
  return records;
}

}  // namespace kavrel::pack
