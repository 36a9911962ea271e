#include "package_bands.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "kavrel/format/blocks.h"

namespace kavrel {

std::vector<std::pair<std::uint32_t, std::int32_t>> PointBands(const CDataPackage& package) {
  std::vector<std::pair<std::uint32_t, std::int32_t>> bands;
  for (std::int32_t i = 0; i < package.FileCount(); ++i) {
    const std::u16string_view name = package.FileName(i);
    const std::optional<std::uint32_t> band = PointBlockBand(name);
    if (band && package.FindFile(name) == i) bands.emplace_back(*band, i);
  }
  std::sort(bands.begin(), bands.end());
  return bands;
}

PackageBands::PackageBands(const CDataPackage& package) : m_package(package) {
  const auto bands = PointBands(package);
  m_keys.reserve(bands.size());
  m_entries.reserve(bands.size());
  for (const auto& [band, entry] : bands) {
    m_keys.push_back(band);
    m_entries.push_back(entry);
  }
  m_directory = BandDirectory(m_keys);
  m_slots = std::make_unique<Once<BandIndex>[]>(bands.size());
}

const BandIndex& PackageBands::Band(std::size_t t) const {
  return m_slots[t].Get([this, t] {
    std::unique_ptr<std::uint8_t[]> data;
    std::int32_t size = 0;
    const bool decoded = m_package.DecodeEntry(m_entries[t], data, size) == PackageStatus::kOk;
    return BandIndex(m_keys[t], decoded ? data.get() : nullptr, decoded ? size : 0, decoded, nullptr);
  });
}

RegularPoints::RegularPoints(const BandSource& source) {
  const std::size_t bands = source.BandKeys().size();
  m_begin.reserve(bands + 1);
  m_begin.push_back(0);
  for (std::size_t t = 0; t < bands; ++t) {
    const BandIndex& band = source.Band(t);
    m_begin.push_back(m_begin.back() + (band.Regular() ? band.Count() : 0));
  }
}

BandPoint RegularPoints::Locate(std::size_t i) const {
  // Bands that hold no counted point share their start with the next band;
  // the last band starting at or before i is the one that holds it.
  const auto band = std::upper_bound(m_begin.begin(), m_begin.end(), i) - m_begin.begin() - 1;
  return {static_cast<std::uint32_t>(band), static_cast<std::uint32_t>(i - m_begin[static_cast<std::size_t>(band)])};
}

}  // namespace kavrel
