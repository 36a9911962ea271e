#include "block_names.h"

#include <optional>
#include <string_view>

#include "kavrel/format/blocks.h"
#include "kavrel/platform/text.h"
#include "names.h"

namespace kavrel {
namespace {

// Keys a point record can carry: P is one byte, C two, S three.
constexpr std::uint32_t kKeysPerBlock[3] = {0x100, 0x10000, kAreaKeysPerBlock};
constexpr std::uint32_t kBlocks[3] = {1, 1, (0x1000000 + kAreaKeysPerBlock - 1) / kAreaKeysPerBlock};

}  // namespace

BlockNames::BlockNames(const CDataPackage& package) : m_package(package) {
  for (int level = kLevelPref; level <= kLevelArea; ++level) {
    m_levels[level].keysPerBlock = kKeysPerBlock[level];
    m_levels[level].slotOfBlock.assign(kBlocks[level], -1);
  }
  for (std::int32_t i = 0; i < package.FileCount(); ++i) {
    const std::u16string_view name = package.FileName(i);
    for (int level = kLevelPref; level <= kLevelArea; ++level) {
      const std::optional<std::uint32_t> firstKey = NameBlockFirstKey(level, name);
      Level& names = m_levels[level];
      if (!firstKey || *firstKey / names.keysPerBlock >= kBlocks[level] || package.FindFile(name) != i) continue;
      names.slotOfBlock[*firstKey / names.keysPerBlock] = static_cast<std::int32_t>(m_entries.size());
      m_entries.push_back(i);
      m_firstKeys.push_back(*firstKey);
    }
  }
  m_slots = std::make_unique<Once<Block>[]>(m_entries.size());
}

std::int32_t BlockNames::SlotOf(const Level& names, std::uint32_t key) {
  const std::uint32_t block = key / names.keysPerBlock;
  return block < names.slotOfBlock.size() ? names.slotOfBlock[block] : -1;
}

const char* BlockNames::Text(int level, std::uint32_t key) const {
  const Level& names = m_levels[level];
  const std::int32_t slot = SlotOf(names, key);
  if (slot < 0) return "";
  const auto s = static_cast<std::size_t>(slot);
  const Block& decoded = m_slots[s].Get([&] { return Decode(names.keysPerBlock, m_firstKeys[s], m_entries[s]); });
  return decoded.offsets.empty() ? "" : decoded.texts.data() + decoded.offsets[key % names.keysPerBlock];
}

void BlockNames::Prefetch(int level, std::uint32_t key) const {
  const Level& names = m_levels[level];
  const std::int32_t slot = SlotOf(names, key);
  if (slot < 0) return;
  const Block* decoded = m_slots[static_cast<std::size_t>(slot)].IfMade();
  if (decoded != nullptr && !decoded->offsets.empty()) __builtin_prefetch(&decoded->offsets[key % names.keysPerBlock]);
}

BlockNames::Block BlockNames::Decode(std::uint32_t keysPerBlock, std::uint32_t firstKey, std::int32_t entry) const {
  Block block;
  std::unique_ptr<std::uint8_t[]> data;
  std::int32_t size = 0;
  block.texts.push_back('\0');
  if (m_package.DecodeEntry(entry, data, size) != PackageStatus::kOk || size <= 0) return block;
  block.offsets.assign(keysPerBlock, 0);
  std::vector<bool> seen(keysPerBlock, false);
  const platform::TextCodec toUtf16(platform::Encoding::kCp932, platform::Encoding::kUtf16);
  const platform::TextCodec toUtf8(platform::Encoding::kUtf16, platform::Encoding::kUtf8);
  const std::string_view bytes(reinterpret_cast<const char*>(data.get()), static_cast<std::size_t>(size));
  // The lookup's scan: records in order, the first with a key wins, and the
  // scan ends at a record that would run past the end of the block. Keys of
  // other blocks are never asked for here.
  std::size_t offset = 0;
  while (const std::optional<NameRecordView> record = NextNameRecord(bytes, offset)) {
    if (record->key - firstKey >= keysPerBlock || record->key < firstKey) continue;
    const std::uint32_t k = record->key - firstKey;
    if (seen[k]) continue;
    seen[k] = true;
    const std::u16string name = NameText(toUtf16, record->text);
    if (name.empty()) continue;
    block.offsets[k] = static_cast<std::uint32_t>(block.texts.size());
    if (!platform::AppendUtf8(block.texts, name)) block.texts += toUtf8.Convert(platform::Utf16Bytes(name));
    block.texts.push_back('\0');
  }
  return block;
}

}  // namespace kavrel
