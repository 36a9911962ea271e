// The designed search, for the designed exports and the kavrel_ handle
// alike: the index answers where it can tell, else the ring search runs over
// the point list of the bands around the query.
#pragma once

#include <cstdint>

#include "band_index.h"
#include "point_list.h"
#include "ring_search.h"
#include "search_index.h"

namespace kavrel {

// Where the winner of a designed search lies.
struct DesignedWinner {
  enum Source { kNone, kIndex, kList };
  Source source = kNone;
  BandPoint indexPoint;     // kIndex: the winner in the index
  std::int32_t listPoint = -1;  // kList: the winner's place in the point list
};

// The winner of the ring search for `query`. `index` (may be null) is asked
// first; where it cannot tell, `loadPoints()` must fill and return the point
// list of the bands around the query, and the ring search runs over it,
// zeroing the longitudes it sets aside. Throws what the index's bands and
// `loadPoints` throw.
template <typename LoadPoints>
DesignedWinner FindDesignedWinner(const BandSource* index, const SearchQuery& query, LoadPoints&& loadPoints) {
  if (index != nullptr) {
    const SearchResult result = FindWinner(*index, query);
    if (result.outcome == SearchResult::kFound) return {DesignedWinner::kIndex, result.point};
    if (result.outcome == SearchResult::kNone) return {};
  }
  PointList& list = loadPoints();
  const std::int32_t best = SearchPointList(list.count, list.latitudes.data(), list.longitudes.data(), query.latKey,
                                            query.lonKey, query.parameters.step, query.parameters.width);
  if (best < 0) return {};
  return {DesignedWinner::kList, {}, best};
}

}  // namespace kavrel
