#include "search_index.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "kavrel/format/blocks.h"
#include "point_list.h"
#include "ring_search.h"

namespace kavrel {
namespace {

constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

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

// Whether the index can follow the ring search with these parameters at
// this latitude: positive step, width and band range, no radius beyond 32
// signed bits, and band keys that do not wrap around 2^32.
bool Searchable(const SearchQuery& query) {
  const SearchParameters& parameters = query.parameters;
  if (parameters.step <= 0 || parameters.width <= 0 || parameters.bandRange <= 0) return false;
  if (std::int64_t{parameters.step} * parameters.width > std::numeric_limits<std::int32_t>::max()) return false;
  const std::int64_t span = std::int64_t{parameters.bandRange} * kBandHeight;
  return query.latKey >= span && query.latKey + span <= std::numeric_limits<std::uint32_t>::max();
}

// The bands LoadPoints would load, as band numbers [first, end) of the
// source, with the query's own band at `own` (present when it has a block).
struct BandRange {
  std::size_t first;
  std::size_t end;
  std::size_t own;
  bool ownPresent;
};

BandRange BandsInRange(const BandSource& source, const SearchQuery& query) {
  const std::vector<std::uint32_t>& bands = source.BandKeys();
  const auto atOrAbove = [&](std::uint32_t key) { return source.Directory().FirstAtOrAbove(bands, key); };
  const std::uint32_t own = BandOf(query.latKey);
  const auto span = static_cast<std::uint32_t>(std::int64_t{query.parameters.bandRange} * kBandHeight);
  const std::size_t first = atOrAbove(own - span);
  std::size_t end = atOrAbove(own + span);
  if (end < bands.size() && bands[end] == own + span) ++end;
  const std::size_t ownAt = std::max(first, atOrAbove(own));
  return {first, end, ownAt, ownAt < end && bands[ownAt] == own};
}

// The bands of a query's point list as one list: point i of the slice is
// point i - Offset(p) of part p. Rows are numbered through the slice too,
// kRowsPerBand to a part.
class Slice {
public:
  // Takes bands [range.first, range.end) from `source`; false when one is
  // irregular or there are more than kMaxSliceBands.
  bool Take(const BandSource& source, const BandRange& range) {
    if (range.end - range.first > kMaxSliceBands) return false;
    m_parts = range.end - range.first;
    m_offset[0] = 0;
    for (std::size_t p = 0; p < m_parts; ++p) {
      m_band[p] = &source.Band(range.first + p);
      if (!m_band[p]->Regular()) return false;
      m_offset[p + 1] = m_offset[p] + m_band[p]->Count();
    }
    return true;
  }

  std::uint32_t Size() const { return m_offset[m_parts]; }
  std::size_t Parts() const { return m_parts; }
  std::size_t Rows() const { return m_parts * kRowsPerBand; }
  const BandIndex& Band(std::size_t p) const { return *m_band[p]; }
  std::uint32_t Offset(std::size_t p) const { return m_offset[p]; }
  // The part that holds point i in [0, Size()).
  std::size_t PartOf(std::uint32_t i) const {
    return static_cast<std::size_t>(std::upper_bound(m_offset.begin(), m_offset.begin() + m_parts, i) -
                                    m_offset.begin()) -
           1;
  }
  std::uint32_t LatitudeAt(std::uint32_t i) const {
    const std::size_t p = PartOf(i);
    return m_band[p]->Latitudes()[i - m_offset[p]];
  }
  // The first point of slice row g in [0, Rows()]; Rows() is the end.
  std::uint32_t RowBegin(std::size_t g) const {
    const std::size_t p = g / kRowsPerBand;
    return p < m_parts ? m_offset[p] + m_band[p]->RowBegin(g % kRowsPerBand) : Size();
  }
  // The slice row that holds point i in [0, Size()).
  std::size_t RowOf(std::uint32_t i) const {
    const std::size_t p = PartOf(i);
    return p * kRowsPerBand + m_band[p]->RowOf(i - m_offset[p]);
  }

private:
  std::size_t m_parts = 0;
  std::array<const BandIndex*, kMaxSliceBands> m_band{};
  std::array<std::uint32_t, kMaxSliceBands + 1> m_offset{};
};

// The one-pass ranking of ring_search.h over a slice, visiting only the rows
// and longitudes that can still beat the best point found so far.
class SliceSearch {
public:
  SliceSearch(const Slice& slice, const SearchQuery& query, const NameTable* areaNames)
      : m_slice(slice),
        m_areaNames(areaNames),
        m_latKey(query.latKey),
        m_lonKey(query.lonKey),
        m_step(query.parameters.step),
        m_width(query.parameters.width),
        m_best{std::int64_t{m_width} + 1, kNoDistance, -1},
        m_reach(std::min(std::int64_t{m_step} * m_width, kNoDistance - 1)) {}

  // FindStartIndex's answer on the slice, reading latitudes only in the row
  // of the key (the only row that can hold latitudes on both sides of it).
  void FindStart(const BandRange& range) {
    std::size_t keyRow = (range.own - range.first) * kRowsPerBand;
    std::size_t keyRowEnd = keyRow;
    if (range.ownPresent) {
      keyRow += (m_latKey - BandOf(m_latKey)) / kRowHeight;
      keyRowEnd = keyRow + 1;
    }
    const std::uint32_t lessEnd = m_slice.RowBegin(keyRow);
    const std::uint32_t greaterBegin = m_slice.RowBegin(keyRowEnd);
    if (lessEnd < greaterBegin) {
      const std::size_t part = m_slice.PartOf(lessEnd);
      const BandIndex& band = m_slice.Band(part);
      const std::uint32_t local = lessEnd - m_slice.Offset(part);
      Prefetch(band.Latitudes().data() + local, band.Latitudes().data() + (greaterBegin - m_slice.Offset(part)));
      band.PrefetchRow(band.RowOf(local));
    }
    m_start = FindStartIndexBy(static_cast<std::int32_t>(m_slice.Size()), [&](std::int32_t probe) {
      const auto point = static_cast<std::uint32_t>(probe);
      if (point < lessEnd) return -1;
      if (point >= greaterBegin) return 1;
      const std::uint32_t latitude = m_slice.LatitudeAt(point);
      return latitude == m_latKey ? 0 : latitude > m_latKey ? 1 : -1;
    });
  }

  // Whether longitude distances may wrap around 2^32 here, which the
  // longitude order does not follow.
  bool DistancesMayWrap() const {
    return m_lonKey <= m_reach || m_lonKey >= std::numeric_limits<std::uint32_t>::max() - m_reach;
  }

  // Rows outward from the start point's row, always the one whose points
  // could enter the window earliest, until neither side can win any more.
  void ScanRows() {
    const std::size_t startRow = m_slice.RowOf(static_cast<std::uint32_t>(m_start));
    ScanRow(startRow);
    std::size_t down = startRow;  // rows [down, up) have been scanned
    std::size_t up = startRow + 1;
    for (;;) {
      // A row below enters no earlier than the point just above it, a row
      // above no earlier than the point just below it.
      const std::int64_t downRing =
          down > 0 ? RingReaching(KeyDifference(m_latKey, m_slice.LatitudeAt(m_slice.RowBegin(down))), m_step)
                   : kNever;
      const std::int64_t upRing =
          up < m_slice.Rows()
              ? RingReaching(KeyDifference(m_slice.LatitudeAt(m_slice.RowBegin(up) - 1), m_latKey), m_step)
              : kNever;
      if (std::min(downRing, upRing) > RingLimit()) break;
      // A best point that has stood through a row's scan has had the time
      // for its entry to arrive: its area name is asked for now.
      if (m_best.index == m_standing) PrefetchBestName();
      m_standing = m_best.index;
      if (downRing <= upRing) {
        ScanRow(--down);
      } else {
        ScanRow(up++);
      }
    }
  }

  // The winner as a point of the source, whose band numbers start at
  // `firstBand` for the slice's first part.
  SearchResult Result(std::size_t firstBand) {
    SearchResult result;
    if (m_best.index < 0) return result;
    PrefetchBestName();
    const auto i = static_cast<std::uint32_t>(m_best.index);
    const std::size_t part = m_slice.PartOf(i);
    result.outcome = SearchResult::kFound;
    result.point = {static_cast<std::uint32_t>(firstBand + part), i - m_slice.Offset(part)};
    return result;
  }

private:
  // The area name's text is the answer's most scattered read. Where the
  // points carry their names' slots, it is asked for through the best
  // point's entry, which Consider asked for: once that has had time to
  // arrive (ScanRows), and for the winner at the end.
  void PrefetchBestName() {
    if (m_areaNames == nullptr || m_best.index < 0 || m_best.index == m_named) return;
    m_named = m_best.index;
    const auto i = static_cast<std::uint32_t>(m_best.index);
    const std::size_t part = m_slice.PartOf(i);
    const std::uint32_t slot = m_slice.Band(part).Point(i - m_slice.Offset(part)).areaName;
    if (slot != NameTable::kUnknown) __builtin_prefetch(m_areaNames->Text(slot).data());
  }

  std::int64_t RingLimit() const { return m_best.index < 0 ? m_width : m_best.ring; }

  // Every point of slice row g, nearest longitudes first on each side, until
  // the distance alone puts it behind the best.
  void ScanRow(std::size_t g) {
    const std::size_t part = g / kRowsPerBand;
    const BandIndex& band = m_slice.Band(part);
    const SortedPoint* begin = band.Sorted().data() + band.RowBegin(g % kRowsPerBand);
    const SortedPoint* end = band.Sorted().data() + band.RowBegin(g % kRowsPerBand + 1);
    const SortedPoint* middle = band.RowLowerBound(g % kRowsPerBand, m_lonKey);
    for (const SortedPoint* p = middle; p < end && std::int64_t{p->longitude - m_lonKey} <= m_reach; ++p) {
      Consider(part, *p, p->longitude - m_lonKey);
    }
    // A longitude of 0 (never a candidate) lies farther than the reach here,
    // so the scan stops before it.
    for (const SortedPoint* p = middle; p > begin && std::int64_t{m_lonKey - p[-1].longitude} <= m_reach; --p) {
      Consider(part, p[-1], m_lonKey - p[-1].longitude);
    }
  }

  // EntryRing, with the neighbour's latitude taken from beside the point
  // inside its band and from the slice across a band's edge.
  void Consider(std::size_t part, const SortedPoint& point, std::int64_t distance) {
    const BandIndex& band = m_slice.Band(part);
    const std::uint32_t i = m_slice.Offset(part) + point.point;
    const auto slicePoint = static_cast<std::int64_t>(i);
    std::int64_t entry = 1;
    if (slicePoint < m_start) {
      const std::uint32_t after = point.point + 1 < band.Count() ? point.latitudeAfter : m_slice.LatitudeAt(i + 1);
      entry = RingReaching(KeyDifference(m_latKey, after), m_step);
    } else if (slicePoint > m_start) {
      const std::uint32_t before = point.point > 0 ? point.latitudeBefore : m_slice.LatitudeAt(i - 1);
      entry = RingReaching(KeyDifference(before, m_latKey), m_step);
    }
    const std::int64_t ring = std::max(entry, RingReaching(distance, m_step));
    if (ring > RingLimit()) return;
    const Rank rank{ring, distance, slicePoint};
    if (!(rank < m_best)) return;
    m_best = rank;
    m_reach = std::min(ring * m_step, kNoDistance - 1);
    // The keys and coordinates of the best so far are asked for at once:
    // the last best is the winner, whose keys, names and distance the
    // lookup reads next.
    __builtin_prefetch(&band.Point(point.point));
    __builtin_prefetch(&band.Latitudes()[point.point]);
    __builtin_prefetch(&band.Longitudes()[point.point]);
  }

  const Slice& m_slice;
  const NameTable* m_areaNames;  // null when the points carry no name slots
  std::uint32_t m_latKey;
  std::uint32_t m_lonKey;
  std::int32_t m_step;
  std::int32_t m_width;
  std::int32_t m_start = 0;  // FindStartIndex's answer, within the slice
  Rank m_best;
  std::int64_t m_reach;  // the largest distance that can still win
  std::int64_t m_named = -1;     // the best point whose name was asked for
  std::int64_t m_standing = -1;  // the best point when the last row began
};

}  // namespace

SearchResult FindWinner(const BandSource& source, const SearchQuery& query) {
  SearchResult undecided;
  undecided.outcome = SearchResult::kUndecided;
  if (!Searchable(query)) return undecided;
  const BandRange range = BandsInRange(source, query);
  Slice slice;
  if (!slice.Take(source, range)) return undecided;
  if (slice.Size() == 0) return {};

  SliceSearch search(slice, query, source.AreaNames());
  search.FindStart(range);
  if (search.DistancesMayWrap()) return undecided;
  search.ScanRows();
  return search.Result(range.first);
}

SearchIndex::SearchIndex(const CDataPackage& package) : m_names(package) {
  const auto bands = PointBands(package);
  m_bandKeys.reserve(bands.size());
  m_bands.reserve(bands.size());
  for (const auto& [band, index] : bands) {
    const CDataPackageFile& entry = package.File(index);
    const bool inMemory = entry.IsLoaded() || entry.StoredSize() == 0;
    m_bandKeys.push_back(band);
    m_bands.emplace_back(band, entry.Data(), entry.Size(), inMemory, &m_names);
  }
  m_directory = BandDirectory(m_bandKeys);
  m_points = RegularPoints(*this);
}

bool SearchIndex::NamesOf(BandPoint p, NameTexts& names) const {
  const PointEntry& entry = m_bands[p.band].Point(p.point);
  const std::uint32_t slots[] = {m_names.Slot(kLevelPref, entry.keys.nPref),
                                 m_names.Slot(kLevelCity, entry.keys.nCity), entry.areaName};
  for (const std::uint32_t slot : slots) {
    if (slot == NameTable::kUnknown) return false;
  }
  for (int level = kLevelPref; level <= kLevelArea; ++level) names[level] = m_names.Text(slots[level]);
  return true;
}

}  // namespace kavrel
