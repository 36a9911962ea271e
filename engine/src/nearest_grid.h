// The exact nearest point by Hubeny's distance, over every point of a
// package: grids of cells over the points, searched in square rings around
// the query until no unvisited cell can hold a nearer point. A fine grid
// serves queries among the points; where it finds nothing near, a coarse one
// carries the search on, so that a query far out at sea does not walk
// thousands of empty cells.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace kavrel {

class NearestGrid {
public:
  NearestGrid() = default;

  // Indexes `count` points given by their microdegree keys. The index of a
  // point is its position in these arrays. Throws std::bad_alloc.
  NearestGrid(const std::uint32_t* latitudes, const std::uint32_t* longitudes, std::size_t count);

  struct Nearest {
    std::int64_t index = -1;  // -1: none within the limit (or no points)
    double distance = 0;      // metres, HubenyDistance(query, point)
  };

  // The point with the smallest HubenyDistance(latitude, longitude, point
  // latitude, point longitude), the point coordinates being KeyDegrees of
  // its keys; on a tie the lowest index. A positive `limit` (metres) leaves
  // out points farther away. The query must be finite with |latitude| <= 90
  // (the bounds rely on the mean latitude staying off the pole). No
  // allocation; safe from any number of threads.
  Nearest Find(double latitude, double longitude, double limit) const;

  // Asks ahead for the memory that Find(latitude, longitude, ...) reads
  // first, for a caller that knows its next queries: with `stage` 0 the home
  // cell's entry in the cell table, with stage 1 (once that has arrived) the
  // home cell's points (up to 1,280 bytes of them). Any coordinate is
  // accepted; reads nothing for one outside the grid. No allocation; safe
  // from any number of threads.
  void Prefetch(double latitude, double longitude, int stage) const;

  // The points a search may visit: one for each distinct coordinate.
  std::size_t DistinctPoints() const { return m_fine.points.size(); }

private:
  // Keys rather than degrees: twelve bytes a point, so that a cell's points
  // share few cache lines.
  struct Point {
    std::uint32_t latitude;
    std::uint32_t longitude;
    std::uint32_t index;
  };

  // One grid: rows of `cellHeight` microdegrees from `latOrigin`, columns of
  // `cellWidth` from `lonOrigin`. The points of cell c are
  // points[cellStart[c] .. cellStart[c + 1]), cells row by row, so a run of
  // cells in one row is one run of points; in a cell, ascending by
  // coordinate, one point for each coordinate.
  struct Grid {
    std::uint32_t latOrigin = 0;
    std::uint32_t lonOrigin = 0;
    std::uint32_t cellHeight = 1;
    std::uint32_t cellWidth = 1;
    std::int64_t rows = 0;
    std::int64_t columns = 0;
    std::vector<std::uint32_t> cellStart;
    std::vector<Point> points;
  };
  struct Best;
  struct Query;

  static Grid Build(const std::uint32_t* latitudes, const std::uint32_t* longitudes, std::size_t count,
                    std::uint32_t cellHeight, std::uint32_t cellWidth);
  // Keeps, of the points that share one exact coordinate, only the lowest
  // index: they lie at one distance from any query, where the lowest index
  // wins the tie, so the answers stay and a search no longer walks millions
  // of points at one place.
  static void KeepFirstAtEachCoordinate(Grid& grid);
  // The (row, column) of the cell of `grid` that holds a finite query;
  // either may lie outside the grid.
  static std::pair<std::int64_t, std::int64_t> HomeCell(const Grid& grid, double latitude, double longitude);
  // Degrees of the southern edge of `row`, the western edge of `column`.
  static double LatitudeEdge(const Grid& grid, std::int64_t row);
  static double LongitudeEdge(const Grid& grid, std::int64_t column);
  // Visits the points of cells [from, to] of `row`, but for cells too far
  // away to beat `best`; `parallelRadius` bounds the run's east-west
  // distances from below.
  void VisitRun(const Grid& grid, const Query& query, double parallelRadius, std::int64_t row, std::int64_t from,
                std::int64_t to, Best& best) const;
  // Visits the points [first, last) of one cell, which ascend by latitude.
  static void VisitPoints(const Point* first, const Point* last, const Query& query, double parallelRadius,
                          Best& best);
  // Searches `grid` ring by ring, at most `rings` rings; true when the rings
  // searched prove that no point elsewhere can beat `best`.
  bool Search(const Grid& grid, double latitude, double longitude, std::int64_t rings, Best& best) const;

  Grid m_fine;
  Grid m_coarse;
  double m_minLatitude = 0;  // degrees, of the southernmost and northernmost points
  double m_maxLatitude = 0;
};

}  // namespace kavrel
