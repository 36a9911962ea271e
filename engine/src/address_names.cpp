#include "address_names.h"

#include <algorithm>
#include <string_view>

#include "kavrel/format/blocks.h"
#include "kavrel/platform/text.h"

namespace kavrel {

AddressNames::AddressNames(const SearchIndex& index, int level) {
  std::vector<std::uint32_t> keys;
  keys.reserve(index.PointCount());
  for (std::uint32_t i = 0; i < index.PointCount(); ++i) keys.push_back(LevelKey(index.Keys(i), level));
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());

  const platform::TextCodec toUtf8(platform::Encoding::kUtf16, platform::Encoding::kUtf8);
  m_texts.push_back('\0');
  m_entries.reserve(keys.size());
  for (const std::uint32_t key : keys) {
    // The index holds every name block of a preloaded package; a name it
    // cannot tell is one whose block did not load, which ReverseGeocoding
    // then cannot read either: the empty text.
    std::u16string_view name;
    if (!index.Names().Find(level, key, name)) name = {};
    m_entries.emplace_back(key, static_cast<std::uint32_t>(m_texts.size()));
    m_texts += toUtf8.Convert(platform::Utf16Bytes(name));
    m_texts.push_back('\0');
  }
}

std::uint32_t AddressNames::Locate(std::uint32_t key) const {
  const auto found = std::lower_bound(m_entries.begin(), m_entries.end(), key,
                                      [](const auto& entry, std::uint32_t k) { return entry.first < k; });
  if (found == m_entries.end() || found->first != key) return 0;
  return found->second;
}

}  // namespace kavrel
