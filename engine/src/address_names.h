// The names of one address level as UTF-8 texts, for the kavrel_ interface:
// taken once from a search index, so that answers neither convert nor
// allocate, and listed in key order.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "search_index.h"

namespace kavrel {

class AddressNames {
public:
  AddressNames() = default;

  // The names of `level` (0 P, 1 C, 2 S) for every key that a point of the
  // index carries, as ReverseGeocoding writes them ("" for a key the package
  // has no name for). Throws std::bad_alloc, and std::runtime_error when
  // UTF-8 cannot be converted.
  AddressNames(const SearchIndex& index, int level);

  // Where the name of `key` lies (a key no point carries gets the empty
  // text), and the text at such a place, valid while the table lives.
  std::uint32_t Locate(std::uint32_t key) const;
  const char* Text(std::uint32_t place) const { return m_texts.data() + place; }

  // Names in ascending key order: count, and the key and text of the i-th.
  std::size_t Count() const { return m_entries.size(); }
  std::uint32_t KeyAt(std::size_t i) const { return m_entries[i].first; }
  const char* TextAt(std::size_t i) const { return Text(m_entries[i].second); }

private:
  // Every text followed by a null; offset 0 is the empty text.
  std::string m_texts;
  // (key, offset of its text), ascending by key.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> m_entries;
};

}  // namespace kavrel
