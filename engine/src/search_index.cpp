#include "search_index.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <numeric>
#include <optional>
#include <string>
#include <utility>

#include "kavrel/format/blocks.h"
#include "point_list.h"
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
  if (!entry.IsLoaded()) return entry.StoredSize() == 0;
  if (entry.Size() % static_cast<std::int32_t>(kPointRecordSize) != 0) return false;
  const std::uint8_t* record = entry.Data();
  const std::int32_t records = WholeRecords(entry);
  std::uint32_t previous = band;
  for (std::int32_t r = 0; r < records; ++r, record += kPointRecordSize) {
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
    const std::u16string& name = package.File(i).Name();
    const std::optional<std::uint32_t> band = PointBlockBand(name);
    if (band && package.FindFile(name) == i) bands.emplace_back(*band, i);
  }
  std::sort(bands.begin(), bands.end());

  std::size_t points = 0;
  for (const auto& band : bands) points += static_cast<std::size_t>(WholeRecords(package.File(band.second)));
  if (points > std::numeric_limits<std::uint32_t>::max() / 2) throw std::bad_alloc();
  m_latitudes.reserve(points);
  m_longitudes.reserve(points);
  m_points.reserve(points);
  m_bandKeys.reserve(bands.size());
  m_irregularBefore.reserve(bands.size() + 1);
  std::vector<std::uint32_t> rowBegin;
  rowBegin.reserve(bands.size() * kRowsPerBand + 1);
  m_irregularBefore.push_back(0);

  for (const auto& [band, index] : bands) {
    const CDataPackageFile& entry = package.File(index);
    const bool regular = IsRegular(entry, band);
    m_bandKeys.push_back(band);
    m_irregularBefore.push_back(m_irregularBefore.back() + (regular ? 0 : 1));
    // An irregular band keeps no points: no search that reaches it uses them.
    const std::uint8_t* record = entry.Data();
    const std::int32_t records = regular ? WholeRecords(entry) : 0;
    std::int32_t r = 0;
    for (std::uint32_t row = 0; row < kRowsPerBand; ++row) {
      rowBegin.push_back(static_cast<std::uint32_t>(m_latitudes.size()));
      const std::uint32_t rowEnd = band + (row + 1) * kRowHeight;
      for (; r < records && ReadPointRecord(record).latitude < rowEnd; ++r, record += kPointRecordSize) {
        const PointRecord point = ReadPointRecord(record);
        m_latitudes.push_back(point.latitude);
        m_longitudes.push_back(point.longitude);
        const AddressKey keys = AddressKeyOf(point);
        m_points.push_back({keys, m_names.Slot(kLevelArea, keys.nArea)});
      }
    }
  }
  rowBegin.push_back(static_cast<std::uint32_t>(m_latitudes.size()));
  const auto latitudeAt = [this](std::size_t i) { return i < m_latitudes.size() ? m_latitudes[i] : 0u; };
  m_rows.reserve(rowBegin.size());
  for (const std::uint32_t begin : rowBegin) {
    m_rows.push_back({begin, latitudeAt(begin), begin > 0 ? m_latitudes[begin - 1] : 0u});
  }

  // Each row's points by longitude; equal longitudes keep index order.
  std::vector<std::uint32_t> order(m_latitudes.size());
  std::iota(order.begin(), order.end(), 0u);
  for (std::size_t row = 0; row + 1 < rowBegin.size(); ++row) {
    std::stable_sort(order.begin() + rowBegin[row], order.begin() + rowBegin[row + 1],
                     [this](std::uint32_t a, std::uint32_t b) { return m_longitudes[a] < m_longitudes[b]; });
  }
  m_sorted.reserve(order.size());
  for (const std::uint32_t point : order) {
    m_sorted.push_back({m_longitudes[point], point, point > 0 ? m_latitudes[point - 1] : 0u, latitudeAt(point + 1)});
  }
}

bool SearchIndex::NamesOf(std::uint32_t index, NameTexts& names) const {
  const PointEntry& entry = m_points[index];
  const std::uint32_t slots[] = {m_names.Slot(kLevelPref, entry.keys.nPref),
                                 m_names.Slot(kLevelCity, entry.keys.nCity), entry.areaName};
  for (const std::uint32_t slot : slots) {
    if (slot == NameTable::kUnknown) return false;
  }
  for (int level = kLevelPref; level <= kLevelArea; ++level) names[level] = m_names.Text(slots[level]);
  return true;
}

namespace {

// Asks for the memory lines of [begin, end), at most kPrefetchLines of them
// from the middle outward, where binary searches start: a lookup's time is
// mostly waiting for memory, and lines asked for together arrive together.
template <typename T>
void Prefetch(const T* begin, const T* end) {
  constexpr std::ptrdiff_t kLineBytes = 64;
  constexpr std::ptrdiff_t kPrefetchLines = 8;
  const auto* first = reinterpret_cast<const char*>(begin);
  const auto* last = reinterpret_cast<const char*>(end);
  const auto* middle = first + (last - first) / 2;
  first = std::max(first, middle - kPrefetchLines / 2 * kLineBytes);
  last = std::min(last, middle + kPrefetchLines / 2 * kLineBytes);
  for (const char* line = first; line < last; line += kLineBytes) __builtin_prefetch(line);
}

// FindStartIndex's answer on the slice [first, first + n), reading a
// latitude only inside the rows [lessEnd, greaterBegin) that may hold the
// key: points before them lie below the key, points from greaterBegin on
// above it.
std::int32_t StartIndex(const std::uint32_t* latitudes, std::uint32_t first, std::int32_t n, std::uint32_t key,
                        std::uint32_t lessEnd, std::uint32_t greaterBegin) {
  return FindStartIndexBy(n, [&](std::int32_t probe) {
    const std::uint32_t point = first + static_cast<std::uint32_t>(probe);
    if (point < lessEnd) return -1;
    if (point >= greaterBegin) return 1;
    return latitudes[point] == key ? 0 : latitudes[point] > key ? 1 : -1;
  });
}

// The search state over the slice [first, first + n) of the index.
struct SliceSearch {
  std::uint32_t first;
  std::int32_t start;              // FindStartIndex's answer, within the slice
  std::uint32_t latKey;
  std::int32_t step;
  std::int32_t width;
  Rank best;
  std::int64_t reach;              // the largest distance that can still win

  std::int64_t RingLimit() const { return best.index < 0 ? width : best.ring; }

  // EntryRing, with the neighbour's latitude kept beside the point. True
  // when the point is the best so far.
  template <typename Sorted>
  bool Consider(const Sorted& point, std::int64_t distance) {
    const std::int32_t i = static_cast<std::int32_t>(point.point - first);
    std::int64_t entry = 1;
    if (i < start) entry = RingReaching(KeyDifference(latKey, point.latitudeAfter), step);
    if (i > start) entry = RingReaching(KeyDifference(point.latitudeBefore, latKey), step);
    const std::int64_t ring = std::max(entry, RingReaching(distance, step));
    if (ring > RingLimit()) return false;
    const Rank rank{ring, distance, i};
    if (!(rank < best)) return false;
    best = rank;
    reach = std::min(ring * step, kNoDistance - 1);
    return true;
  }
};

}  // namespace

SearchResult FindWinner(const SearchIndex& index, const SearchQuery& query) {
  SearchResult undecided;
  undecided.outcome = SearchResult::kUndecided;
  const std::int32_t step = query.parameters.step;
  const std::int32_t width = query.parameters.width;
  const std::int32_t bandRange = query.parameters.bandRange;
  if (step <= 0 || width <= 0 || bandRange <= 0) return undecided;
  const std::int64_t limit = std::int64_t{step} * width;
  if (limit > std::numeric_limits<std::int32_t>::max()) return undecided;
  const std::int64_t span = std::int64_t{bandRange} * kBandHeight;
  if (query.latKey < span || query.latKey + span > std::numeric_limits<std::uint32_t>::max()) return undecided;

  // The bands LoadPoints would load, as a run of indexed bands.
  const std::uint32_t own = BandOf(query.latKey);
  const auto& bands = index.m_bandKeys;
  const auto t0 = std::lower_bound(bands.begin(), bands.end(), static_cast<std::uint32_t>(own - span));
  const auto t1 = std::upper_bound(t0, bands.end(), static_cast<std::uint32_t>(own + span));
  const auto tOwn = std::lower_bound(t0, t1, own);
  const auto band = [&](auto t) { return static_cast<std::size_t>(t - bands.begin()); };
  if (index.m_irregularBefore[band(t1)] != index.m_irregularBefore[band(t0)]) return undecided;

  SearchResult result;
  using Row = SearchIndex::Row;
  const Row* rows = index.m_rows.data();
  const std::size_t firstRow = band(t0) * kRowsPerBand;
  const std::size_t endRow = band(t1) * kRowsPerBand;
  const std::uint32_t first = rows[firstRow].begin;
  const auto n = static_cast<std::int32_t>(rows[endRow].begin - first);
  if (n == 0) return result;

  // Only the row of the key can hold latitudes on both sides of it.
  std::size_t keyRow = band(tOwn) * kRowsPerBand;
  std::size_t keyRowEnd = keyRow;
  if (tOwn != t1 && *tOwn == own) {
    keyRow += (query.latKey - own) / kRowHeight;
    keyRowEnd = keyRow + 1;
  }
  SliceSearch search{first, 0, query.latKey, step, width, Rank{std::int64_t{width} + 1, kNoDistance, -1},
                     std::min(limit, kNoDistance - 1)};
  const std::uint32_t* latitudes = index.m_latitudes.data();
  Prefetch(latitudes + rows[keyRow].begin, latitudes + rows[keyRowEnd].begin);
  Prefetch(index.m_sorted.data() + rows[keyRow].begin, index.m_sorted.data() + rows[keyRowEnd].begin);
  search.start = StartIndex(latitudes, first, n, query.latKey, rows[keyRow].begin, rows[keyRowEnd].begin);

  if (query.lonKey <= search.reach ||
      query.lonKey >= std::numeric_limits<std::uint32_t>::max() - search.reach) {
    // Distances may wrap around 2^32 here, which the longitude order does
    // not follow: rank the whole slice instead.
    search.best = RankedWinner(n, index.m_latitudes.data() + first, index.m_longitudes.data() + first, search.start,
                               query.latKey, query.lonKey, step, width);
  } else {
    const SearchIndex::SortedPoint* sorted = index.m_sorted.data();
    const std::uint32_t lonKey = query.lonKey;
    // The keys of the best so far are asked for at once: the last best is
    // the winner, whose keys and names the lookup reads next.
    const auto consider = [&](const SearchIndex::SortedPoint& point, std::int64_t distance) {
      if (search.Consider(point, distance)) __builtin_prefetch(&index.m_points[point.point]);
    };
    // Every point of a row, nearest longitudes first on each side, until the
    // distance alone puts it behind the best.
    auto scanRow = [&](std::size_t row) {
      const SearchIndex::SortedPoint* begin = sorted + rows[row].begin;
      const SearchIndex::SortedPoint* end = sorted + rows[row + 1].begin;
      const SearchIndex::SortedPoint* middle = std::lower_bound(
          begin, end, lonKey, [](const SearchIndex::SortedPoint& p, std::uint32_t key) { return p.longitude < key; });
      for (const SearchIndex::SortedPoint* p = middle; p < end && std::int64_t{p->longitude - lonKey} <= search.reach;
           ++p) {
        consider(*p, p->longitude - lonKey);
      }
      // A longitude of 0 (never a candidate) lies farther than the reach
      // here, so the scan stops before it.
      for (const SearchIndex::SortedPoint* p = middle; p > begin && std::int64_t{lonKey - p[-1].longitude} <= search.reach;
           --p) {
        consider(p[-1], lonKey - p[-1].longitude);
      }
    };
    // Rows outward from the start point's row, always the one whose points
    // could enter the window earliest, until neither side can win any more.
    const std::uint32_t startPoint = first + static_cast<std::uint32_t>(search.start);
    const std::size_t startRow = static_cast<std::size_t>(
        std::upper_bound(rows + firstRow, rows + endRow + 1, startPoint,
                         [](std::uint32_t point, const Row& row) { return point < row.begin; }) -
        rows - 1);
    scanRow(startRow);
    constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
    std::size_t down = startRow;  // rows [down, up) have been scanned
    std::size_t up = startRow + 1;
    for (;;) {
      // A row below enters no earlier than the point just above it, a row
      // above no earlier than the point just below it.
      const std::int64_t downRing =
          down > firstRow ? RingReaching(KeyDifference(query.latKey, rows[down].latitudeAtBegin), step) : kNever;
      const std::int64_t upRing =
          up < endRow ? RingReaching(KeyDifference(rows[up].latitudeBeforeBegin, query.latKey), step) : kNever;
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
