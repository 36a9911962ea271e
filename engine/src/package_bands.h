// The bands of a package whose file was read whole (CDataPackage::ReadImage),
// each inflated and indexed by the first search that reaches it, once, from
// any number of threads.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "band_index.h"
#include "kavrel/format/data_package.h"
#include "once.h"

namespace kavrel {

// The point bands of `package` (each with the entry its name finds first),
// ascending: band key and entry index.
std::vector<std::pair<std::uint32_t, std::int32_t>> PointBands(const CDataPackage& package);

class PackageBands : public BandSource {
public:
  // The point bands of `package`, which must outlive this and not change;
  // nothing is inflated yet.
  explicit PackageBands(const CDataPackage& package);

  const std::vector<std::uint32_t>& BandKeys() const override { return m_keys; }
  // Band t, inflated and indexed at the first call. A block that does not
  // decode is an irregular band without points, as a block PreloadData
  // could not load. Throws std::bad_alloc (nothing is kept; a later call
  // tries again).
  const BandIndex& Band(std::size_t t) const override;
  const BandDirectory& Directory() const override { return m_directory; }

private:
  const CDataPackage& m_package;
  std::vector<std::uint32_t> m_keys;
  BandDirectory m_directory;  // of m_keys
  std::vector<std::int32_t> m_entries;  // the entry of each band
  std::unique_ptr<Once<BandIndex>[]> m_slots;
};

// The points of the regular bands of a source, numbered in band order, as
// the nearest search and the counts number them.
class RegularPoints {
public:
  RegularPoints() = default;
  // Reads (and so builds) every band of `source`. Throws std::bad_alloc.
  explicit RegularPoints(const BandSource& source);

  std::size_t Count() const { return m_begin.empty() ? 0 : m_begin.back(); }
  // The point numbered i in [0, Count()).
  BandPoint Locate(std::size_t i) const;

private:
  std::vector<std::size_t> m_begin;  // regular points before each band (size bands + 1)
};

}  // namespace kavrel
