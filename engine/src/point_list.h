// The point list: the points of the latitude bands around a query, gathered
// from their point blocks into flat arrays in ascending latitude, as the ring
// search reads them.
#pragma once

#include <cstdint>
#include <vector>

#include "address_key.h"
#include "band_index.h"
#include "kavrel/format/blocks.h"
#include "kavrel/format/data_package.h"

namespace kavrel {

struct PointList {
  std::int32_t count = 0;  // points stored; the arrays hold spare slots beyond
  std::vector<std::uint32_t> latitudes;
  std::vector<std::uint32_t> longitudes;  // the search zeroes those it sets aside
  std::vector<AddressKey> keys;

  // Replaces the arrays by `capacity` zeroed elements each (none for a
  // capacity of 0 or less); count 0. Keeps the storage when it is big enough,
  // so that a steady stream of searches allocates nothing. Throws
  // std::bad_alloc, leaving all three arrays empty.
  void Allocate(std::int32_t capacity);
};

// The whole point records in the data of a point block: 0 when it holds no
// data; a partial record at the end is not counted.
inline std::int32_t WholeRecords(const CDataPackageFile& block) {
  return static_cast<std::int32_t>(block.Bytes().size() / kPointRecordSize);
}

// Rebuilds `list` from the point blocks of the bands latKey + j * kBandHeight
// for j = -bandRange..bandRange (32-bit wrap-around), in that order, loading
// each block from `package` as needed and releasing it again unless
// `keepLoaded`. Every band that loads brings its whole records in block order
// and one spare slot. A block whose size is not a whole number of records
// shows "size=N err NAME". Throws std::bad_alloc.
void LoadPointList(CDataPackage& package, std::uint32_t latKey, std::int32_t bandRange, bool keepLoaded,
                   PointList& list);

// The same list from the bands of `source` (building those it has not
// built), each with all its points in block order, reading nothing from a
// package. Throws std::bad_alloc.
void GatherBandPoints(const BandSource& source, std::uint32_t latKey, std::int32_t bandRange, PointList& list);

}  // namespace kavrel
