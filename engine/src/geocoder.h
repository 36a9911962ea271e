// One open package behind the kavrel_ interface: the package in memory, its
// search index, the UTF-8 names and the nearest-point grid, built once when
// it is opened and never changed afterwards, so that any number of threads
// may look up at once without locks.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "address_names.h"
#include "kavrel/format/data_package.h"
#include "kavrel.h"
#include "nearest_grid.h"
#include "search.h"
#include "search_index.h"

namespace kavrel {

// A query with its defaults filled in and checked.
struct LookupQuery {
  std::int32_t mode = KAVREL_MODE_DESIGNED;
  // What ReverseGeocoding searches with after SetStep(step, width).
  SearchParameters parameters;
  double maxDistance = 0;  // metres; infinity for no limit
};

// Checks a caller's query (NULL for the defaults) and fills in `checked`.
// KAVREL_SUCCESS or KAVREL_INVALID_ARGUMENT.
std::int32_t CheckQuery(const kavrel_query* query, LookupQuery& checked);

// Texts NULL, keys 0, coordinates and distance NaN.
void SetEmptyAnswer(kavrel_answer& answer);

class Geocoder {
  // Only Open makes a geocoder; this key lets it use make_unique.
  struct OpenKey {
    explicit OpenKey() = default;
  };

public:
  explicit Geocoder(OpenKey) {}

  // Opens the package at the UTF-8 `path` (nullptr: the search order of
  // Initialize for "kavreldata.bin"), inflates it whole and builds the
  // indexes. Returns a kavrel.h result code; `geocoder` is set on success.
  // Throws std::bad_alloc.
  static std::int32_t Open(const char* path, std::unique_ptr<Geocoder>& geocoder);

  // One lookup; KAVREL_SUCCESS, KAVREL_NO_ANSWER, KAVREL_INVALID_ARGUMENT, or
  // KAVREL_OUT_OF_MEMORY when the ring search's point list cannot be had.
  // `answer` is always written (the empty answer unless KAVREL_SUCCESS).
  // Reads only memory that nothing changes, and allocates nothing except
  // where the designed search leaves the index (see FindDesigned).
  std::int32_t Lookup(double latitude, double longitude, const LookupQuery& query,
                      kavrel_answer& answer) const;

  kavrel_facts Facts() const;
  // The names of a level (KAVREL_LEVEL_*, 0 to 2).
  const AddressNames& Names(int level) const { return m_names[level]; }

private:
  // A matched point: its keys and, for a point of the index, its index.
  struct Match {
    std::uint32_t latitude;
    std::uint32_t longitude;
    AddressKey keys;
    std::int64_t point = -1;
  };

  // The winner of the ring search that ReverseGeocoding runs with the
  // query's parameters after PreloadData: from the index where it can tell,
  // else by the ring search over the point list of the loaded bands (which
  // allocates that list).
  bool FindDesigned(std::uint32_t latKey, std::uint32_t lonKey, const LookupQuery& query, Match& match) const;
  void FillAnswer(const Match& match, double distance, kavrel_answer& answer) const;
  // Where the three names of `keys` lie in m_names.
  std::array<std::uint32_t, 3> NamePlaces(const AddressKey& keys) const;

  CDataPackage m_package;  // every entry in memory; read only after Open
  std::unique_ptr<SearchIndex> m_index;
  AddressNames m_names[3];
  // For each point of the index, where its three names lie in m_names: an
  // answer is then one read, not three searches.
  std::vector<std::array<std::uint32_t, 3>> m_namePlaces;
  NearestGrid m_grid;
};

}  // namespace kavrel
