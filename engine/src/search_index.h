// The search over indexed bands that finds the ring search's winner without
// building a point list, and the index of a whole preloaded package.
//
// A search reads the bands that LoadPoints would load as one slice: their
// points one after another, band by band, are the point list of the query.
// The bands come from a BandSource, which may index a band only when a
// search first asks for it.
#pragma once

#include <cstdint>
#include <vector>

#include "address_key.h"
#include "address_text.h"
#include "band_index.h"
#include "kavrel/format/data_package.h"
#include "name_table.h"
#include "package_bands.h"
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
  BandPoint point;
};

// The winner of the ring search that LoadPoints and RingSearch would run for
// `query` on the indexed package. Undecided for step or width of 0 or less,
// a band range below 1, step * width beyond 32 signed bits, band keys that
// would wrap around 2^32, an irregular band among those in range, more than
// kMaxSliceBands bands in range, or a longitude key within step * width of
// 0 or 2^32 (where distances wrap). Allocates nothing but the bands `source`
// builds; throws what they throw.
inline constexpr std::size_t kMaxSliceBands = 64;
SearchResult FindWinner(const BandSource& source, const SearchQuery& query);

// An immutable index of a preloaded package: every band and the names.
// It copies what it needs and does not refer to the package after it is
// built, so one index may serve any number of searches at once.
class SearchIndex : public BandSource {
public:
  // An index of no points: every search finds nothing.
  SearchIndex() = default;

  // Indexes the point blocks and names of `package` as they are in memory.
  // Throws std::bad_alloc, and std::runtime_error when code page 932 cannot
  // be converted.
  explicit SearchIndex(const CDataPackage& package);

  const std::vector<std::uint32_t>& BandKeys() const override { return m_bandKeys; }
  const BandIndex& Band(std::size_t t) const override { return m_bands[t]; }
  const BandDirectory& Directory() const override { return m_directory; }
  const NameTable* AreaNames() const override { return &m_names; }

  // The points of the regular bands, numbered in band order.
  std::size_t PointCount() const { return m_points.Count(); }
  BandPoint Locate(std::size_t i) const { return m_points.Locate(i); }
  const AddressKey& Keys(BandPoint p) const { return m_bands[p.band].Point(p.point).keys; }
  std::uint32_t Latitude(BandPoint p) const { return m_bands[p.band].Latitudes()[p.point]; }
  std::uint32_t Longitude(BandPoint p) const { return m_bands[p.band].Longitudes()[p.point]; }
  const NameTable& Names() const { return m_names; }

  // Sets `names` to the three names of point `p`, as NameTable::Find gives
  // them. False, leaving `names` as they were, when a name is not in the
  // table.
  bool NamesOf(BandPoint p, NameTexts& names) const;

private:
  NameTable m_names;
  std::vector<std::uint32_t> m_bandKeys;
  BandDirectory m_directory;  // of m_bandKeys
  std::vector<BandIndex> m_bands;
  RegularPoints m_points;
};

}  // namespace kavrel
