#include "band_index.h"

#include <algorithm>
#include <numeric>

namespace kavrel {
namespace {

// Whether a block of `records` whole records at `data` can be indexed:
// in memory, a whole number of records (otherwise every load reports the
// size), latitudes ascending and inside the band.
bool IsRegular(std::uint32_t band, const std::uint8_t* data, std::int32_t size, std::int32_t records) {
  if (size % static_cast<std::int32_t>(kPointRecordSize) != 0) return false;
  std::uint32_t previous = band;
  for (std::int32_t r = 0; r < records; ++r, data += kPointRecordSize) {
    const std::uint32_t latitude = ReadPointRecord(data).latitude;
    if (latitude < previous || BandOf(latitude) != band) return false;
    previous = latitude;
  }
  return true;
}

}  // namespace

BandIndex::BandIndex(std::uint32_t band, const std::uint8_t* data, std::int32_t size, bool inMemory,
                     const NameTable* names) {
  const std::int32_t records = data != nullptr && size > 0 ? size / static_cast<std::int32_t>(kPointRecordSize) : 0;
  m_regular = inMemory && IsRegular(band, data, size, records);
  m_latitudes.reserve(static_cast<std::size_t>(records));
  m_longitudes.reserve(static_cast<std::size_t>(records));
  m_points.reserve(static_cast<std::size_t>(records));
  for (std::int32_t r = 0; r < records; ++r, data += kPointRecordSize) {
    const PointRecord point = ReadPointRecord(data);
    m_latitudes.push_back(point.latitude);
    m_longitudes.push_back(point.longitude);
    const AddressKey keys = AddressKeyOf(point);
    m_points.push_back({keys, names != nullptr ? names->Slot(kLevelArea, keys.nArea) : NameTable::kUnknown});
  }
  if (!m_regular) return;

  for (std::uint32_t row = 0; row <= kRowsPerBand; ++row) {
    const std::uint32_t rowStart = band + row * kRowHeight;
    m_rowBegin[row] = static_cast<std::uint32_t>(
        std::lower_bound(m_latitudes.begin(), m_latitudes.end(), rowStart) - m_latitudes.begin());
  }
  m_rowBegin[kRowsPerBand] = Count();
  // Each row's points by longitude; equal longitudes keep index order.
  std::vector<std::uint32_t> order(Count());
  std::iota(order.begin(), order.end(), 0u);
  for (std::size_t row = 0; row < kRowsPerBand; ++row) {
    std::stable_sort(order.begin() + m_rowBegin[row], order.begin() + m_rowBegin[row + 1],
                     [this](std::uint32_t a, std::uint32_t b) { return m_longitudes[a] < m_longitudes[b]; });
  }
  m_sorted.reserve(order.size());
  for (const std::uint32_t point : order) {
    m_sorted.push_back({m_longitudes[point], point, point > 0 ? m_latitudes[point - 1] : 0u,
                        point + 1 < Count() ? m_latitudes[point + 1] : 0u});
  }
}

std::size_t BandIndex::RowOf(std::uint32_t i) const {
  return static_cast<std::size_t>(std::upper_bound(m_rowBegin.begin(), m_rowBegin.end(), i) - m_rowBegin.begin()) -
         1;
}

}  // namespace kavrel
