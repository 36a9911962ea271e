// An immutable in-memory index of a preloaded package, and the search over
// it that finds the ring search's winner without building a point list.
//
// All points of the package's point blocks lie in band order in flat arrays,
// so the point list of any query is a contiguous slice of them. Each band is
// cut into rows by latitude, and the points of each row are also kept sorted
// by longitude: a search ranks the points as the one-pass ranking of
// ring_search.h does, but visits only the rows and longitudes that can still
// beat the best point found so far.
//
// The index copies what it needs: it does not refer to the package after it
// is built, and nothing changes it afterwards, so one index may serve any
// number of searches at once.
#pragma once

#include <cstdint>
#include <vector>

#include "address_key.h"
#include "address_text.h"
#include "kavrel/format/data_package.h"
#include "name_table.h"
#include "search.h"

namespace kavrel {

// One search: the coordinate keys and the search parameters in force.
struct SearchQuery {
  std::uint32_t latKey;
  std::uint32_t lonKey;
  SearchParameters parameters;
};

struct SearchResult {
  enum Outcome {
    kFound,      // `point` is the winner
    kNone,       // no point qualifies (KAVREL_E_NOT_FOUND)
    kUndecided,  // the index cannot follow the ring search here: run it
  };
  Outcome outcome = kNone;
  std::uint32_t point = 0;  // index into the SearchIndex, for Keys()
};

class SearchIndex;

// The winner of the ring search that LoadPoints and RingSearch would run for
// `query` on the indexed package. Undecided for step or width of 0 or less,
// a band range below 1, step * width beyond 32 signed bits, band keys that
// would wrap around 2^32, or an irregular band among those in range.
// Allocates nothing.
SearchResult FindWinner(const SearchIndex& index, const SearchQuery& query);

class SearchIndex {
public:
  // An index of no points: every search finds nothing.
  SearchIndex() = default;

  // Indexes the point blocks and names of `package` as they are in memory.
  // A band is reached through the entry its block name finds (the first of
  // that name). A band whose block is not in memory, whose size is not a
  // whole number of records, or whose latitudes are not ascending within
  // the band is marked irregular, and searches that would load it are left
  // to the ring search. Throws std::bad_alloc, and std::runtime_error when
  // code page 932 cannot be converted.
  explicit SearchIndex(const CDataPackage& package);

  std::size_t PointCount() const { return m_latitudes.size(); }
  // Address keys of point `index` in [0, PointCount()).
  const AddressKey& Keys(std::uint32_t index) const { return m_points[index].keys; }
  // Latitude and longitude keys of every point, by index.
  const std::vector<std::uint32_t>& Latitudes() const { return m_latitudes; }
  const std::vector<std::uint32_t>& Longitudes() const { return m_longitudes; }
  const NameTable& Names() const { return m_names; }

  // Sets `names` to the three names of point `index` in [0, PointCount()),
  // as NameTable::Find gives them. False, leaving `names` as they were, when
  // a name is not in the table.
  bool NamesOf(std::uint32_t index, NameTexts& names) const;

private:
  friend SearchResult FindWinner(const SearchIndex& index, const SearchQuery& query);

  // A point's keys with its S name's slot beside them: one memory line
  // serves both the winner's keys and the most scattered name table.
  struct PointEntry {
    AddressKey keys;
    std::uint32_t areaName;  // NameTable::Slot of the S key
  };
  // A row's first point, and the latitudes on both sides of its start that
  // bound when the row can enter the window (0 where there is no point).
  struct Row {
    std::uint32_t begin;
    std::uint32_t latitudeAtBegin;
    std::uint32_t latitudeBeforeBegin;
  };
  // A point in a row's longitude order, with the latitudes of the points
  // before and after it in index order, which decide when it enters the
  // window (0 where there is no point).
  struct SortedPoint {
    std::uint32_t longitude;
    std::uint32_t point;
    std::uint32_t latitudeBefore;
    std::uint32_t latitudeAfter;
  };

  std::vector<std::uint32_t> m_bandKeys;          // ascending band numbers with a block
  std::vector<std::uint32_t> m_irregularBefore;   // irregular bands before band t (size bands + 1)
  std::vector<Row> m_rows;                        // size rows + 1
  std::vector<std::uint32_t> m_latitudes;         // points in band order
  std::vector<std::uint32_t> m_longitudes;
  std::vector<PointEntry> m_points;
  std::vector<SortedPoint> m_sorted;              // each row's points by longitude, ascending
  NameTable m_names;
};

}  // namespace kavrel
