// A plain true-nearest grid over a package's address points: the yardstick
// the preloaded lookup is measured against. Cells of 0.005 degree, each row
// of cells one run of points sorted by cell column, searched in square rings
// around the query until no unvisited cell can hold a nearer point; distance
// on the plane of the query's latitude (longitude scaled by its cosine).
// It answers with the address text the engine writes: P, separator, C,
// separator, S, in UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kavrel/format/blocks.h"

namespace kavrel::bench {

class NearestReference {
public:
  // Indexes `points` (not empty, keys in microdegrees) with the names of
  // their keys: `names(level, key)` gives each name in UTF-16.
  // `names(level, key)` is asked once for each key a point carries.
  using NameSource = std::function<std::u16string(int level, std::uint32_t key)>;
  NearestReference(const std::vector<PointRecord>& points, std::u16string separator, const NameSource& names);

  // Writes the text of the point nearest to (latitude, longitude) in
  // degrees, with a terminator, into `buffer` of `capacity` units; returns
  // its length, or -1 when it does not fit (the buffer is then untouched).
  // Ties go to the point given first.
  std::int64_t Lookup(double latitude, double longitude, char16_t* buffer, std::size_t capacity) const;

  // The index (in the points given) of the point nearest to the query.
  std::uint32_t Nearest(double latitude, double longitude) const;

private:
  struct Point {
    std::uint32_t latitude;
    std::uint32_t longitude;
    std::uint32_t column;
    std::uint32_t index;
  };
  struct Best;

  void Build(const std::vector<PointRecord>& points);
  void ReadNames(const std::vector<PointRecord>& points, const NameSource& names);
  void VisitCells(std::int64_t row, std::int64_t from, std::int64_t to, double latKey, double lonKey,
                  double scale, Best& best) const;

  static constexpr std::uint32_t kCell = 5000;  // microdegrees
  std::uint32_t m_latOrigin = 0;
  std::uint32_t m_lonOrigin = 0;
  std::int64_t m_rows = 0;
  std::int64_t m_columns = 0;
  std::vector<std::uint32_t> m_rowStart;  // points of row r: [m_rowStart[r], m_rowStart[r + 1])
  std::vector<Point> m_points;
  // Per point by index, its three names: each an offset into m_texts times
  // 256 plus its length.
  std::vector<std::uint32_t> m_nameOf;
  std::u16string m_texts;
  std::u16string m_separator;
};

}  // namespace kavrel::bench
