// Gathering the point blocks of the bands around a query into the flat,
// latitude-ordered point list that the ring search works on.
#include "point_list.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "kavrel/format/blocks.h"
#include "kavrel/platform/diagnostic.h"
#include "kavrel/platform/text.h"

namespace kavrel {
namespace {

void ShowSizeError(std::int32_t size, const std::u16string& name) {
  char text[64];
  std::snprintf(text, sizeof text, "size=%d err ", static_cast<int>(size));
  platform::ShowDiagnostic(std::string(text) + platform::Utf16ToUtf8(name));
}

void ShowOverflow(std::int64_t index, std::int64_t capacity) {
  char text[64];
  std::snprintf(text, sizeof text, "Over index=%d count=%d", static_cast<int>(index),
                static_cast<int>(capacity));
  platform::ShowDiagnostic(text);
}

// The key of band j around latKey, wrapping at 32 bits as band keys do.
std::uint32_t BandKey(std::uint32_t latKey, std::int64_t j) {
  return latKey + static_cast<std::uint32_t>(j * kBandHeight);
}

// Sizes `list` for `blocks` (one spare slot each) and copies their whole
// records in, in order. `done` is called with each block once it is copied.
template <typename Block, typename Done>
void Fill(const std::vector<Block*>& blocks, PointList& list, Done done) {
  std::int64_t capacity = 0;
  for (const Block* block : blocks) capacity += WholeRecords(*block) + 1;
  if (capacity > std::numeric_limits<std::int32_t>::max()) throw std::bad_alloc();
  list.Allocate(static_cast<std::int32_t>(capacity));

  std::int64_t filled = 0;
  bool full = false;
  for (Block* block : blocks) {
    const std::uint8_t* record = block->Data();
    const std::int64_t records = WholeRecords(*block);
    for (std::int64_t r = 0; r < records && !full; ++r, record += kPointRecordSize) {
      const std::size_t i = static_cast<std::size_t>(filled);
      const PointRecord point = ReadPointRecord(record);
      list.latitudes[i] = point.latitude;
      list.longitudes[i] = point.longitude;
      list.keys[i] = AddressKeyOf(point);
      ++filled;
      // Unreachable with consistent blocks (one spare slot per band); the
      // rest is dropped rather than written past the arrays.
      if (filled >= capacity) {
        ShowOverflow(filled, capacity);
        full = true;
      }
    }
    done(*block);
  }
  list.count = static_cast<std::int32_t>(filled);
}

}  // namespace

void PointList::Allocate(std::int32_t capacity) {
  count = 0;
  const std::size_t size = capacity > 0 ? static_cast<std::size_t>(capacity) : 0;
  try {
    latitudes.assign(size, 0);
    longitudes.assign(size, 0);
    keys.assign(size, AddressKey{});
  } catch (...) {
    // Never leave arrays of different lengths behind.
    latitudes = {};
    longitudes = {};
    keys = {};
    throw;
  }
}

void LoadPointList(CDataPackage& package, std::uint32_t latKey, std::int32_t bandRange, bool keepLoaded,
                   PointList& list) {
  // Every band is loaded before any is copied, as the sizes give the list's
  // capacity.
  std::vector<CDataPackageFile*> blocks;
  for (std::int64_t j = -static_cast<std::int64_t>(bandRange); j <= bandRange; ++j) {
    const std::u16string name = BuildPointBlockName(BandKey(latKey, j));
    if (package.LoadFile(name) != PackageStatus::kOk) continue;  // at sea, or outside the data
    const std::int32_t index = package.FindFile(name);
    if (index < 0) continue;
    CDataPackageFile& block = package.File(index);
    if (block.Size() % static_cast<std::int32_t>(kPointRecordSize) != 0) ShowSizeError(block.Size(), name);
    blocks.push_back(&block);
  }
  Fill(blocks, list, [keepLoaded](CDataPackageFile& block) {
    if (!keepLoaded && block.IsLoaded()) block.ReleaseData();
  });
}

void GatherBandPoints(const BandSource& source, std::uint32_t latKey, std::int32_t bandRange, PointList& list) {
  const std::vector<std::uint32_t>& keys = source.BandKeys();
  std::vector<const BandIndex*> bands;
  std::int64_t capacity = 0;
  for (std::int64_t j = -static_cast<std::int64_t>(bandRange); j <= bandRange; ++j) {
    const std::uint32_t band = BandOf(BandKey(latKey, j));
    const auto found = std::lower_bound(keys.begin(), keys.end(), band);
    if (found == keys.end() || *found != band) continue;
    bands.push_back(&source.Band(static_cast<std::size_t>(found - keys.begin())));
    capacity += bands.back()->Count();
  }
  if (capacity > std::numeric_limits<std::int32_t>::max()) throw std::bad_alloc();
  list.Allocate(static_cast<std::int32_t>(capacity));
  std::size_t filled = 0;
  for (const BandIndex* band : bands) {
    for (std::uint32_t i = 0; i < band->Count(); ++i, ++filled) {
      list.latitudes[filled] = band->Latitudes()[i];
      list.longitudes[filled] = band->Longitudes()[i];
      list.keys[filled] = band->Point(i).keys;
    }
  }
  list.count = static_cast<std::int32_t>(filled);
}

}  // namespace kavrel
