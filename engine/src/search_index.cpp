#include "search_index.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <numeric>
#include <optional>
#include <string>
#include <utility>

#include "kavrel/format/blocks.h"
#include "ring_search.h"
#include "search.h"

namespace kavrel {
namespace {

// Rows of 1000 microdegrees (0.001 degree): ten to a band.
constexpr std::uint32_t kRowHeight = 1000;
constexpr std::uint32_t kRowsPerBand = kBandHeight / kRowHeight;

// Whether the loaded records of a band block can be indexed: a whole number
// of records (otherwise every load reports the size), latitudes ascending and
// inside the band.
bool IsRegular(const CDataPackageFile& entry, std::uint32_t band) {
  if (entry.m_nState != CDataPackageFile::kLoaded) return entry.m_nStoredSize == 0;
  if (entry.m_nSize % static_cast<std::int32_t>(kPointRecordSize) != 0) return false;
  const std::uint8_t* record = entry.m_pData.get();
  std::uint32_t previous = band;
  for (std::int32_t r = 0; r < entry.m_nSize / static_cast<std::int32_t>(kPointRecordSize);
       ++r, record += kPointRecordSize) {
    const std::uint32_t latitude = ReadPointRecord(record).latitude;
    if (latitude < previous || BandOf(latitude) != band) return false;
    previous = latitude;
  }
  return true;
}

}  // namespace

SearchIndex::SearchIndex(const CDataPackage& package) : m_names(package) {
  // Bands, each with the entry that its name finds first.
  std::vector<std::pair<std::uint32_t, std::int32_t>> bands;
  for (std::int32_t i = 0; i < package.FileCount(); ++i) {
    const std::u16string& name = package.File(i).m_strName;
    const std::optional<std::uint32_t> band = PointBlockBand(name);
    if (band && package.FindFile(name) == i) bands.emplace_back(*band, i);
  }
  std::sort(bands.begin(), bands.end());

  std::size_t points = 0;
  for (const auto& band : bands) {
    const CDataPackageFile& entry = package.File(band.second);
    if (entry.m_nState == CDataPackageFile::kLoaded && entry.m_nSize > 0) {
      points += static_cast<std::size_t>(entry.m_nSize) / kPointRecordSize;
    }
  }
  if (points > std::numeric_limits<std::uint32_t>::max() / 2) throw std::bad_alloc();
  m_latitudes.reserve(points);
  m_longitudes.reserve(points);
  m_keys.reserve(points);
  m_bandKeys.reserve(bands.size());
  m_irregularBefore.reserve(bands.size() + 1);
  m_rowBegin.reserve(bands.size() * kRowsPerBand + 1);
  m_irregularBefore.push_back(0);

  for (const auto& [band, index] : bands) {
    const CDataPackageFile& entry = package.File(index);
    const bool regular = IsRegular(entry, band);
    m_bandKeys.push_back(band);
    m_irregularBefore.push_back(m_irregularBefore.back() + (regular ? 0 : 1));
    // An irregular band keeps no points: no search that reaches it uses them.
    const std::uint8_t* record = entry.m_pData.get();
    const std::int32_t records = regular && record != nullptr ? entry.m_nSize / static_cast<std::int32_t>(kPointRecordSize) : 0;
    std::int32_t r = 0;
    for (std::uint32_t row = 0; row < kRowsPerBand; ++row) {
      m_rowBegin.push_back(static_cast<std::uint32_t>(m_latitudes.size()));
      const std::uint32_t rowEnd = band + (row + 1) * kRowHeight;
      for (; r < records && ReadPointRecord(record).latitude < rowEnd; ++r, record += kPointRecordSize) {
        const PointRecord point = ReadPointRecord(record);
        m_latitudes.push_back(point.latitude);
        m_longitudes.push_back(point.longitude);
        m_keys.push_back(AddressKeyOf(point));
      }
    }
  }
  m_rowBegin.push_back(static_cast<std::uint32_t>(m_latitudes.size()));

  // Each row's points by longitude; equal longitudes keep index order.
  m_sortedPoints.resize(m_latitudes.size());
  std::iota(m_sortedPoints.begin(), m_sortedPoints.end(), 0u);
  for (std::size_t row = 0; row + 1 < m_rowBegin.size(); ++row) {
    std::stable_sort(m_sortedPoints.begin() + m_rowBegin[row], m_sortedPoints.begin() + m_rowBegin[row + 1],
                     [this](std::uint32_t a, std::uint32_t b) { return m_longitudes[a] < m_longitudes[b]; });
  }
  m_sortedLongitudes.resize(m_sortedPoints.size());
  for (std::size_t i = 0; i < m_sortedPoints.size(); ++i) m_sortedLongitudes[i] = m_longitudes[m_sortedPoints[i]];
}

namespace {

// The search state over the slice [first, first + n) of the index.
struct SliceSearch {
  const std::uint32_t* latitudes;  // of the slice: index 0 is its first point
  std::uint32_t first;
  std::int32_t start;              // FindStartIndex's answer, within the slice
  std::uint32_t latKey;
  std::uint32_t lonKey;
  std::int32_t step;
  std::int32_t width;
  Rank best;
  std::int64_t reach;              // the largest distance that can still win

  std::int64_t RingLimit() const { return best.index < 0 ? width : best.ring; }

  void Consider(std::uint32_t point, std::int64_t distance) {
    const std::int32_t i = static_cast<std::int32_t>(point - first);
    const std::int64_t entry = EntryRing(latitudes, i, start, latKey, step);
    const std::int64_t ring = std::max(entry, RingReaching(distance, step));
    if (ring > RingLimit()) return;
    const Rank rank{ring, distance, i};
    if (rank < best) {
      best = rank;
      reach = std::min(ring * step, kNoDistance - 1);
    }
  }
};

}  // namespace

SearchResult FindWinner(const SearchIndex& index, const SearchQuery& query) {
  SearchResult undecided;
  undecided.outcome = SearchResult::kUndecided;
  const std::int32_t step = query.step;
  const std::int32_t width = query.width;
  if (step <= 0 || width <= 0 || query.bandRange <= 0) return undecided;
  const std::int64_t limit = std::int64_t{step} * width;
  if (limit > std::numeric_limits<std::int32_t>::max()) return undecided;
  const std::int64_t span = std::int64_t{query.bandRange} * kBandHeight;
  if (query.latKey < span || query.latKey + span > std::numeric_limits<std::uint32_t>::max()) return undecided;

  // The bands LoadPoints would load, as a run of indexed bands.
  const std::uint32_t own = BandOf(query.latKey);
  const auto& bands = index.m_bandKeys;
  const std::size_t t0 = static_cast<std::size_t>(
      std::lower_bound(bands.begin(), bands.end(), static_cast<std::uint32_t>(own - span)) - bands.begin());
  const std::size_t t1 = static_cast<std::size_t>(
      std::upper_bound(bands.begin(), bands.end(), static_cast<std::uint32_t>(own + span)) - bands.begin());
  if (index.m_irregularBefore[t1] != index.m_irregularBefore[t0]) return undecided;

  SearchResult result;
  const std::uint32_t* rowBegin = index.m_rowBegin.data();
  const std::size_t firstRow = t0 * kRowsPerBand;
  const std::size_t endRow = t1 * kRowsPerBand;
  const std::uint32_t first = rowBegin[firstRow];
  const auto n = static_cast<std::int32_t>(rowBegin[endRow] - first);
  if (n == 0) return result;

  SliceSearch search{index.m_latitudes.data() + first, first, 0, query.latKey, query.lonKey, step, width,
                     Rank{std::int64_t{width} + 1, kNoDistance, -1}, std::min(limit, kNoDistance - 1)};
  search.start = FindStartIndex(n, search.latitudes, query.latKey);

  if (query.lonKey <= search.reach ||
      query.lonKey >= std::numeric_limits<std::uint32_t>::max() - search.reach) {
    // Distances may wrap around 2^32 here, which the longitude order does
    // not follow: rank the whole slice instead.
    search.best = RankedWinner(n, search.latitudes, index.m_longitudes.data() + first, search.start,
                               query.latKey, query.lonKey, step, width);
  } else {
    const std::uint32_t* longitudes = index.m_sortedLongitudes.data();
    const std::uint32_t* points = index.m_sortedPoints.data();
    const std::uint32_t lonKey = query.lonKey;
    // Every point of a row, nearest longitudes first on each side, until the
    // distance alone puts it behind the best.
    auto scanRow = [&](std::size_t row) {
      const std::uint32_t* begin = longitudes + rowBegin[row];
      const std::uint32_t* end = longitudes + rowBegin[row + 1];
      const std::uint32_t* middle = std::lower_bound(begin, end, lonKey);
      for (const std::uint32_t* p = middle; p < end && std::int64_t{*p - lonKey} <= search.reach; ++p) {
        search.Consider(points[p - longitudes], *p - lonKey);
      }
      // A longitude of 0 (never a candidate) lies farther than the reach
      // here, so the scan stops before it.
      for (const std::uint32_t* p = middle; p > begin && std::int64_t{lonKey - p[-1]} <= search.reach; --p) {
        search.Consider(points[p - 1 - longitudes], lonKey - p[-1]);
      }
    };
    // Rows outward from the start point's row, always the one whose points
    // could enter the window earliest, until neither side can win any more.
    const std::size_t startRow = static_cast<std::size_t>(
        std::upper_bound(rowBegin + firstRow, rowBegin + endRow + 1, first + static_cast<std::uint32_t>(search.start)) -
        rowBegin - 1);
    scanRow(startRow);
    const std::uint32_t* latitudes = index.m_latitudes.data();
    constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
    std::size_t down = startRow;  // rows [down, up) have been scanned
    std::size_t up = startRow + 1;
    for (;;) {
      // A row below enters no earlier than the point just above it, a row
      // above no earlier than the point just below it.
      const std::int64_t downRing =
          down > firstRow ? RingReaching(KeyDifference(query.latKey, latitudes[rowBegin[down]]), step) : kNever;
      const std::int64_t upRing =
          up < endRow ? RingReaching(KeyDifference(latitudes[rowBegin[up] - 1], query.latKey), step) : kNever;
      if (std::min(downRing, upRing) > search.RingLimit()) break;
      if (downRing <= upRing) {
        scanRow(--down);
      } else {
        scanRow(up++);
      }
    }
  }
  if (search.best.index < 0) return result;
  result.outcome = SearchResult::kFound;
  result.point = first + static_cast<std::uint32_t>(search.best.index);
  return result;
}

}  // namespace kavrel
