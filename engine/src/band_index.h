// The points of one latitude band, indexed for the search: the unit that a
// search index is made of, so that a band can be indexed on its own when a
// query first needs it.
//
// The points lie in block order (ascending latitude in a regular band) in
// flat arrays. The band is cut into rows of 5000 microdegrees, and the
// points of each row are also kept sorted by longitude, every 32nd longitude
// sampled beside them for the search's first steps: a search ranks the
// points as the one-pass ranking of ring_search.h does, but visits only the
// rows and longitudes that can still beat the best point found so far.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "address_key.h"
#include "band_directory.h"
#include "kavrel/format/blocks.h"
#include "name_table.h"

namespace kavrel {

// Rows of 5000 microdegrees (0.005 degree): two to a band. Taller rows
// mean fewer binary searches per query, shorter ones shorter searches;
// measured over distinct queries near towns, two to a band beat ten by
// about a tenth, and one to a band was no faster.
inline constexpr std::uint32_t kRowHeight = 5000;
inline constexpr std::uint32_t kRowsPerBand = kBandHeight / kRowHeight;

// A point's keys with its S name's slot beside them: one memory line serves
// both the winner's keys and the most scattered name table.
struct PointEntry {
  AddressKey keys;
  std::uint32_t areaName = NameTable::kUnknown;  // NameTable::Slot of the S key
};

// A point of a row in longitude order, with the latitudes of its neighbours
// in the band (0 at the band's ends), which decide when it enters the window.
struct SortedPoint {
  std::uint32_t longitude;
  std::uint32_t point;  // its index in the band
  std::uint32_t latitudeBefore;
  std::uint32_t latitudeAfter;
};

class BandIndex {
public:
  // A band without points; regular.
  BandIndex() = default;

  // Indexes the whole records of `data` (`size` bytes; null for a block that
  // is not in memory), the point block of `band`. The band is regular when
  // the block is in memory (or empty), a whole number of records, with
  // latitudes ascending inside the band; an irregular band keeps its points
  // in block order but no rows, and searches that reach it are left to the
  // ring search. `names`, when given, fills each point's S name slot.
  // Throws std::bad_alloc.
  BandIndex(std::uint32_t band, const std::uint8_t* data, std::int32_t size, bool inMemory, const NameTable* names);

  bool Regular() const { return m_regular; }
  std::uint32_t Count() const { return static_cast<std::uint32_t>(m_latitudes.size()); }
  const std::vector<std::uint32_t>& Latitudes() const { return m_latitudes; }
  const std::vector<std::uint32_t>& Longitudes() const { return m_longitudes; }
  const PointEntry& Point(std::uint32_t i) const { return m_points[i]; }
  // The first point of row r in [0, kRowsPerBand]; row kRowsPerBand is the end.
  std::uint32_t RowBegin(std::size_t r) const { return m_rowBegin[r]; }
  // The row holding point i of a regular band.
  std::size_t RowOf(std::uint32_t i) const;
  // The points of the rows in longitude order, row after row.
  const std::vector<SortedPoint>& Sorted() const { return m_sorted; }
  // The first point of Sorted() in row r whose longitude is at least
  // `longitude`, or the row's end: std::lower_bound over the row, found
  // through every kSampleStride-th longitude first, so that a long row
  // costs a few memory lines rather than one per step of the search.
  const SortedPoint* RowLowerBound(std::size_t r, std::uint32_t longitude) const;
  // Asks for the memory RowLowerBound(r, ...) reads first.
  void PrefetchRow(std::size_t r) const;

private:
  // The samples strictly inside row r, [first, end): those at positions
  // j * kSampleStride in (RowBegin(r), RowBegin(r + 1)).
  std::pair<std::uint32_t, std::uint32_t> RowSamples(std::size_t r) const;

  bool m_regular = true;
  std::array<std::uint32_t, kRowsPerBand + 1> m_rowBegin{};
  std::vector<std::uint32_t> m_latitudes;
  std::vector<std::uint32_t> m_longitudes;
  std::vector<PointEntry> m_points;
  std::vector<SortedPoint> m_sorted;
  // m_sorted[j * kSampleStride].longitude for every j. Measured over
  // distinct queries near towns, strides of 32 and 64 were alike, 8 and 16
  // a few percent slower.
  static constexpr std::uint32_t kSampleStride = 32;
  std::vector<std::uint32_t> m_samples;
};

// A point of a BandSource: band number t (an index into BandKeys()) and its
// index in that band.
struct BandPoint {
  std::uint32_t band = 0;
  std::uint32_t point = 0;
};

// The indexed bands of a package.
class BandSource {
public:
  virtual ~BandSource() = default;
  // The band keys that have a point block, ascending; each with its entry
  // (the first of its name).
  virtual const std::vector<std::uint32_t>& BandKeys() const = 0;
  // The index of band t in [0, BandKeys().size()). Throws std::bad_alloc
  // when it has to be built and cannot be.
  virtual const BandIndex& Band(std::size_t t) const = 0;
  // The directory of BandKeys().
  virtual const BandDirectory& Directory() const = 0;
  // The names whose slots the bands' points carry (PointEntry::areaName),
  // or null when they carry none.
  virtual const NameTable* AreaNames() const { return nullptr; }
};

}  // namespace kavrel
