// Where a key falls among a package's ascending band keys in constant time,
// for the start of every search: a binary search over thousands of band
// keys costs a dozen mispredicted branches and scattered reads.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "kavrel/format/blocks.h"

namespace kavrel {

class BandDirectory {
public:
  // A directory of no keys.
  BandDirectory() = default;

  // Indexes the ascending `keys`: for every multiple of kBandHeight from the
  // lowest key's band to the highest key's, the first key at or above it.
  // At most 2^32 / kBandHeight entries. Throws std::bad_alloc.
  explicit BandDirectory(const std::vector<std::uint32_t>& keys) {
    if (keys.empty()) return;
    m_base = BandOf(keys.front());
    const std::size_t entries = (keys.back() - m_base) / kBandHeight + 1;
    m_first.reserve(entries);
    std::size_t t = 0;
    for (std::size_t j = 0; j < entries; ++j) {
      const std::uint32_t band = m_base + static_cast<std::uint32_t>(j) * kBandHeight;
      while (t < keys.size() && keys[t] < band) ++t;
      m_first.push_back(static_cast<std::uint32_t>(t));
    }
  }

  // std::lower_bound(keys, key) as a position in `keys`, the keys this
  // directory was built from.
  std::size_t FirstAtOrAbove(const std::vector<std::uint32_t>& keys, std::uint32_t key) const {
    if (m_first.empty() || key <= m_base) return 0;
    const std::size_t j = (key - m_base) / kBandHeight;
    if (j >= m_first.size()) return keys.size();
    // Keys that are no multiple of kBandHeight may lie between this step
    // and the next.
    const auto from = keys.begin() + m_first[j];
    const auto to = j + 1 < m_first.size() ? keys.begin() + m_first[j + 1] : keys.end();
    return static_cast<std::size_t>(std::lower_bound(from, to, key) - keys.begin());
  }

private:
  std::uint32_t m_base = 0;
  std::vector<std::uint32_t> m_first;
};

}  // namespace kavrel
