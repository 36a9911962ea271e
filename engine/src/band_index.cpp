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
  m_samples.reserve(m_sorted.size() / kSampleStride + 1);
  for (std::size_t i = 0; i < m_sorted.size(); i += kSampleStride) m_samples.push_back(m_sorted[i].longitude);
}

const SortedPoint* BandIndex::RowLowerBound(std::size_t r, std::uint32_t longitude) const {
  // The answer lies in [low, high]. Of the samples inside the row, the
  // first at or above `longitude` bounds the answer from above, the one
  // before it (below `longitude`) from below.
  std::uint32_t low = m_rowBegin[r];
  std::uint32_t high = m_rowBegin[r + 1];
  const auto [firstSample, endSample] = RowSamples(r);
  if (firstSample < endSample) {
    const std::uint32_t* samples = m_samples.data();
    const std::uint32_t* above = std::lower_bound(samples + firstSample, samples + endSample, longitude);
    const auto j = static_cast<std::uint32_t>(above - samples);
    if (j < endSample) high = j * kSampleStride;
    if (j > firstSample) low = (j - 1) * kSampleStride + 1;
  }
  const SortedPoint* sorted = m_sorted.data();
  for (std::uint32_t i = low; i < high; i += 64 / sizeof(SortedPoint)) __builtin_prefetch(sorted + i);
  return std::lower_bound(sorted + low, sorted + high, longitude,
                          [](const SortedPoint& p, std::uint32_t key) { return p.longitude < key; });
}

std::pair<std::uint32_t, std::uint32_t> BandIndex::RowSamples(std::size_t r) const {
  return {m_rowBegin[r] / kSampleStride + 1, (m_rowBegin[r + 1] + kSampleStride - 1) / kSampleStride};
}

void BandIndex::PrefetchRow(std::size_t r) const {
  const auto [firstSample, endSample] = RowSamples(r);
  for (std::uint32_t j = firstSample; j < endSample; j += 64 / sizeof(std::uint32_t)) {
    __builtin_prefetch(m_samples.data() + j);
  }
}

std::size_t BandIndex::RowOf(std::uint32_t i) const {
  return static_cast<std::size_t>(std::upper_bound(m_rowBegin.begin(), m_rowBegin.end(), i) - m_rowBegin.begin()) -
         1;
}

}  // namespace kavrel
