// One open package behind the kavrel_ interface: the whole file in memory,
// and what its lookups need made from it when first needed, once, so that
// any number of threads may look up at once and, once a band or name block
// is ready, without locks: the bands of the designed search, the UTF-8 name
// blocks, the nearest-point grid (by the first nearest query) and the key
// lists of kavrel_name_at and kavrel_facts_of.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "block_names.h"
#include "kavrel.h"
#include "kavrel/format/data_package.h"
#include "nearest_grid.h"
#include "once.h"
#include "package_bands.h"
#include "search.h"

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

  // Opens the package at the UTF-8 `path` (nullptr: the default package, by
  // FindDataFile's order with the library's places), reads it whole and
  // closes it.
  // Returns a kavrel.h result code; `geocoder` is set on success. Throws
  // std::bad_alloc.
  static std::int32_t Open(const char* path, std::unique_ptr<Geocoder>& geocoder);

  // Makes ahead what lookups in `mode` would make as they go: every band and
  // name block, and for KAVREL_MODE_NEAREST the nearest-point grid. Throws
  // std::bad_alloc, and std::runtime_error when a text converter is missing.
  void Preload(std::int32_t mode) const;

  // One lookup; KAVREL_SUCCESS, KAVREL_NO_ANSWER, KAVREL_INVALID_ARGUMENT, or
  // KAVREL_OUT_OF_MEMORY when what it needs cannot be made (memory, or a text
  // converter the system lacks). `answer` is
  // always written (the empty answer unless KAVREL_SUCCESS).
  std::int32_t Lookup(double latitude, double longitude, const LookupQuery& query,
                      kavrel_answer& answer) const {
    return Answer(Search(latitude, longitude, query), answer);
  }

  // A matched point: its keys and coordinate keys.
  struct Match {
    std::uint32_t latitude;
    std::uint32_t longitude;
    AddressKey keys;
  };

  // What a lookup found, before its answer is written.
  struct Found {
    std::int32_t result = KAVREL_NO_ANSWER;  // Lookup's result
    std::int64_t nearest = -1;  // nearest mode: the point's number in the grid's matches
    Match match{};              // designed mode: the point
    double distance = 0;        // metres, for KAVREL_SUCCESS
  };

  // Lookup in two halves, for a caller with many queries: Search finds the
  // point and Answer writes it, so that what Answer reads can be asked for
  // ahead (PrefetchAnswer) while other queries are looked up. Lookup(...)
  // gives what Answer(Search(...), answer) gives. Neither throws: a failure
  // is their result.
  Found Search(double latitude, double longitude, const LookupQuery& query) const;
  std::int32_t Answer(const Found& found, kavrel_answer& answer) const;

  // Asks ahead for what Answer(found) reads first: with `stage` 0 the
  // nearest mode's match, with stage 1 (once that has arrived) the entry of
  // the area's name. Never throws; reads nothing not yet made.
  void PrefetchAnswer(const Found& found, int stage) const;

  // Asks ahead for the memory a nearest lookup of (latitude, longitude)
  // reads first (NearestGrid::Prefetch's `stage`), once the grid is made;
  // nothing before. Never throws.
  void PrefetchNearest(double latitude, double longitude, int stage) const {
    if (const Nearest* nearest = m_nearest.IfMade()) nearest->grid.Prefetch(latitude, longitude, stage);
  }

  // The counts, and the i-th key of a level (KAVREL_LEVEL_*, 0 to 2) that
  // the points carry, ascending, with its name. Both read every band first.
  // Throw std::bad_alloc.
  kavrel_facts Facts() const;
  std::size_t KeyCount(int level) const { return Catalogue().keys[level].size(); }
  std::uint32_t KeyAt(int level, std::size_t i) const { return Catalogue().keys[level][i]; }
  const char* NameOf(int level, std::uint32_t key) const { return m_names->Text(level, key); }
  // The text of the package's /ATTRIBUTION.txt entry, NUL-terminated; null
  // when it holds none or that entry is damaged.
  const char* Attribution() const { return m_hasAttribution ? m_attribution.c_str() : nullptr; }

private:
  // Decodes the package's attribution entry, when it holds a sound one.
  void ReadAttribution();

  // The nearest-point grid over the regular bands' points, by their numbers,
  // and each point as a match by its number: one memory line per answer.
  struct Nearest {
    std::vector<Match> matches;
    NearestGrid grid;
  };
  // The keys of each level that the points of the regular bands carry.
  struct KeyLists {
    std::uint64_t points = 0;
    std::vector<std::uint32_t> keys[3];
  };

  bool FindDesigned(std::uint32_t latKey, std::uint32_t lonKey, const LookupQuery& query, Match& match) const;
  Found SearchNearest(double latitude, double longitude, const LookupQuery& query) const;
  // The match that `found` (a KAVREL_SUCCESS) names.
  const Match& MatchOf(const Found& found) const;
  Match PointOf(BandPoint point) const;
  void FillAnswer(const Match& match, double distance, kavrel_answer& answer) const;
  const Nearest& NearestPoints() const;
  const KeyLists& Catalogue() const;

  CDataPackage m_package;  // its directory and the whole file; read only after Open
  std::unique_ptr<PackageBands> m_bands;
  std::unique_ptr<BlockNames> m_names;
  std::string m_attribution;  // decoded at Open
  bool m_hasAttribution = false;
  mutable Once<Nearest> m_nearest;
  mutable Once<KeyLists> m_catalogue;
  mutable Once<bool> m_preloaded;  // every band and name block made
};

}  // namespace kavrel
