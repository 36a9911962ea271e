#include "name_table.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kavrel/format/blocks.h"
#include "kavrel/platform/text.h"
#include "names.h"

namespace kavrel {
namespace {

constexpr std::int32_t kUnread = -1;   // the block was not in memory
constexpr std::int32_t kAbsent = -2;   // no such block: every name is empty
constexpr std::uint32_t kUnset = 0xFFFFFFFF;
// A slot holds an offset below 2^24 (kept off the top, so that no slot is
// kUnset) and a length below 256; blocks beyond are left to LookupName.
constexpr std::size_t kTextLimit = 0xFFFF00;
constexpr std::size_t kLengthLimit = 0xFF;

// Keys a point record can carry: P is one byte, C two, S three.
constexpr std::uint32_t kPrefKeys = 0x100;
constexpr std::uint32_t kCityKeys = 0x10000;
constexpr std::uint32_t kAreaBlocks = (0x1000000 + kAreaKeysPerBlock - 1) / kAreaKeysPerBlock;

// The S blocks of the directory, each with the entry its name finds first.
std::vector<std::pair<std::uint32_t, std::int32_t>> AreaBlocks(const CDataPackage& package) {
  std::vector<std::pair<std::uint32_t, std::int32_t>> blocks;
  for (std::int32_t i = 0; i < package.FileCount(); ++i) {
    const std::u16string_view name = package.FileName(i);
    const std::optional<std::uint32_t> firstKey = NameBlockFirstKey(kLevelArea, name);
    if (!firstKey || *firstKey / kAreaKeysPerBlock >= kAreaBlocks || package.FindFile(name) != i) continue;
    blocks.emplace_back(*firstKey / kAreaKeysPerBlock, i);
  }
  return blocks;
}

}  // namespace

NameTable::NameTable(const CDataPackage& package) {
  const auto single = [&](int level) {
    const std::int32_t index = package.FindFile(BuildNameBlockName(level, 0));
    return index < 0 ? std::vector<std::pair<std::uint32_t, std::int32_t>>{}
                     : std::vector<std::pair<std::uint32_t, std::int32_t>>{{0, index}};
  };
  const auto prefs = single(kLevelPref);
  const auto cities = single(kLevelCity);
  const auto areas = AreaBlocks(package);
  // Room for every name at once: a byte of code page 932 never gives more
  // than one UTF-16 unit, so the blocks' sizes bound the texts. Growing the
  // text name by name would copy it over and over, into fresh memory each
  // time.
  std::size_t bytes = 0;
  for (const auto* entries : {&prefs, &cities, &areas}) {
    for (const auto& entry : *entries) bytes += package.File(entry.second).Bytes().size();
  }
  m_text.reserve(std::min(bytes, kTextLimit + kLengthLimit));
  ReadLevel(package, kLevelPref, kPrefKeys, 1, prefs);
  ReadLevel(package, kLevelCity, kCityKeys, 1, cities);
  ReadLevel(package, kLevelArea, kAreaKeysPerBlock, kAreaBlocks, areas);
}

void NameTable::ReadLevel(const CDataPackage& package, int level, std::uint32_t keysPerBlock,
                          std::uint32_t blocks, const std::vector<std::pair<std::uint32_t, std::int32_t>>& entries) {
  const platform::TextCodec codec(platform::Encoding::kCp932, platform::Encoding::kUtf16);
  Level& names = m_levels[level];
  names.keysPerBlock = keysPerBlock;
  names.firstSlot.assign(blocks, kAbsent);
  names.slots.reserve(entries.size() * keysPerBlock);
  for (const auto& [block, index] : entries) {
    const CDataPackageFile& entry = package.File(index);
    // A listed entry with bytes to read would be read from the file at the
    // lookup; only what is in memory (or empty) can be answered from here.
    const bool inMemory = entry.IsLoaded() || entry.StoredSize() == 0;
    if (!inMemory) {
      names.firstSlot[block] = kUnread;
      continue;
    }
    const std::size_t first = names.slots.size();
    names.firstSlot[block] = static_cast<std::int32_t>(first);
    names.slots.resize(first + keysPerBlock, kUnset);

    const std::string_view bytes = entry.Bytes();
    // The lookup's scan: records in order, the first with a key wins, and the
    // scan ends at a record that would run past the end of the block. Keys of
    // other blocks can never be asked for here and are passed over.
    std::size_t offset = 0;
    while (names.firstSlot[block] != kUnread) {
      const std::optional<NameRecordView> record = NextNameRecord(bytes, offset);
      if (!record) break;
      const std::uint32_t key = record->key;
      if (key / keysPerBlock != block) continue;
      std::uint32_t& slot = names.slots[first + key % keysPerBlock];
      if (slot != kUnset) continue;
      slot = 0;
      if (record->text.empty()) continue;
      const std::u16string text = NameText(codec, record->text);
      if (text.empty()) continue;
      if (m_text.size() >= kTextLimit || text.size() > kLengthLimit) {
        names.firstSlot[block] = kUnread;
        continue;
      }
      slot = static_cast<std::uint32_t>(m_text.size() << 8 | text.size());
      m_text += text;
    }
    for (std::size_t s = first; s < names.slots.size(); ++s) {
      if (names.slots[s] == kUnset) names.slots[s] = 0;
    }
  }
}

std::uint32_t NameTable::Slot(int level, std::uint32_t key) const {
  if (level < kLevelPref || level > kLevelArea) return kUnknown;
  const Level& names = m_levels[level];
  if (names.keysPerBlock == 0) return kUnknown;
  const std::uint32_t block = key / names.keysPerBlock;
  if (block >= names.firstSlot.size()) return kUnknown;
  const std::int32_t first = names.firstSlot[block];
  if (first == kUnread) return kUnknown;
  if (first == kAbsent) return 0;
  return names.slots[static_cast<std::size_t>(first) + key % names.keysPerBlock];
}

bool NameTable::Find(int level, std::uint32_t key, std::u16string_view& text) const {
  const std::uint32_t slot = Slot(level, key);
  if (slot == kUnknown) return false;
  text = Text(slot);
  return true;
}

}  // namespace kavrel
