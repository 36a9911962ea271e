#include "nearest_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "geodesy.h"
#include "search.h"

namespace kavrel {
namespace {

constexpr double kRadiansPerDegree = kPi / 180.0;
constexpr double kMicrodegree = 1e-6;
constexpr double kRadiansPerMicrodegree = kRadiansPerDegree * kMicrodegree;
// The smallest meridian and prime vertical radii HubenyDistance uses.
constexpr double kMinMeridianRadius = kMeridianNumerator;
constexpr double kMinPrimeVerticalRadius = kSemiMajorAxis;
// Every lower bound is shrunk a little and compared with the best distance
// plus a micrometre, so that rounding (in the bound or in the distance) can
// never prune a point whose computed distance ties with the best.
constexpr double kBoundSafety = 1.0 - 1e-9;
constexpr double kSlackMetres = 1e-6;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// About 2.2 km by 2.3 km around Japan: a handful of points per cell in towns.
constexpr std::uint32_t kCellHeight = 20000;
constexpr std::uint32_t kCellWidth = 25000;
// Coarse cells of 16 by 16 fine ones, taken over after this many fine rings.
constexpr std::uint32_t kCoarseFactor = 16;
constexpr std::int64_t kFineRings = 8;
// How much of the home cell Prefetch asks for: 20 lines, 106 points.
constexpr std::ptrdiff_t kPrefetchedCellBytes = 1280;

// The square of a lower bound for a distance of at least `y` metres north or
// south and `x` east or west, and the square of the reach of a best
// distance: a point or cell whose bound exceeds the reach cannot win.
double SquaredBound(double y, double x) { return (y * y + x * x) * (kBoundSafety * kBoundSafety); }
double SquaredBound(double y) { return y * y * (kBoundSafety * kBoundSafety); }
double SquaredReach(double bestDistance) {
  const double reach = bestDistance + kSlackMetres;
  return reach * reach;
}

// The smallest N cos(mu) for a mean latitude mu between the query's latitude
// and any latitude in [south, north] (degrees): cos falls away from the
// equator, so the extreme mean latitude gives it.
double MinParallelRadius(double latitude, double south, double north) {
  const double extreme = std::max(std::fabs(latitude + south), std::fabs(latitude + north)) * 0.5;
  return kMinPrimeVerticalRadius * std::cos(std::min(extreme, 90.0) * kRadiansPerDegree);
}

}  // namespace

// The best point so far; a point at exactly the limit still counts, and the
// sentinel index loses every tie against a real point.
struct NearestGrid::Best {
  static constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::max();
  double distance;
  std::int64_t index = kNone;
};

NearestGrid::Grid NearestGrid::Build(const std::uint32_t* latitudes, const std::uint32_t* longitudes,
                                     std::size_t count, std::uint32_t cellHeight, std::uint32_t cellWidth) {
  Grid grid;
  const auto [latLow, latHigh] = std::minmax_element(latitudes, latitudes + count);
  const auto [lonLow, lonHigh] = std::minmax_element(longitudes, longitudes + count);
  grid.latOrigin = *latLow;
  grid.lonOrigin = *lonLow;
  grid.cellHeight = cellHeight;
  grid.cellWidth = cellWidth;
  // Points spread far beyond Japan get coarser cells rather than a grid too
  // large to hold.
  const std::int64_t maxCells = 4 * static_cast<std::int64_t>(count) + (1 << 20);
  for (;;) {
    grid.rows = (*latHigh - grid.latOrigin) / grid.cellHeight + 1;
    grid.columns = (*lonHigh - grid.lonOrigin) / grid.cellWidth + 1;
    if (grid.rows * grid.columns <= maxCells) break;
    grid.cellHeight *= 2;
    grid.cellWidth *= 2;
  }

  // Counting sort into cells; indices ascend within each cell.
  const std::size_t cells = static_cast<std::size_t>(grid.rows * grid.columns);
  std::vector<std::uint32_t> cellOf(count);
  grid.cellStart.assign(cells + 1, 0);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t row = (latitudes[i] - grid.latOrigin) / grid.cellHeight;
    const std::uint32_t column = (longitudes[i] - grid.lonOrigin) / grid.cellWidth;
    cellOf[i] = static_cast<std::uint32_t>(row * grid.columns + column);
    ++grid.cellStart[cellOf[i] + 1];
  }
  for (std::size_t c = 0; c < cells; ++c) grid.cellStart[c + 1] += grid.cellStart[c];
  std::vector<std::uint32_t> next(grid.cellStart.begin(), grid.cellStart.end() - 1);
  grid.points.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    grid.points[next[cellOf[i]]++] = {latitudes[i], longitudes[i], static_cast<std::uint32_t>(i)};
  }
  KeepFirstAtEachCoordinate(grid);
  return grid;
}

void NearestGrid::KeepFirstAtEachCoordinate(Grid& grid) {
  const auto byPlace = [](const Point& a, const Point& b) {
    return a.latitude != b.latitude ? a.latitude < b.latitude
                                    : a.longitude != b.longitude ? a.longitude < b.longitude : a.index < b.index;
  };
  const std::size_t cells = grid.cellStart.size() - 1;
  std::uint32_t kept = 0;
  for (std::size_t c = 0; c < cells; ++c) {
    const std::uint32_t begin = grid.cellStart[c];
    const std::uint32_t end = grid.cellStart[c + 1];
    std::sort(grid.points.begin() + begin, grid.points.begin() + end, byPlace);
    grid.cellStart[c] = kept;
    for (std::uint32_t k = begin; k < end; ++k) {
      const Point& point = grid.points[k];
      const bool again = kept > grid.cellStart[c] && grid.points[kept - 1].latitude == point.latitude &&
                         grid.points[kept - 1].longitude == point.longitude;
      if (!again) grid.points[kept++] = point;
    }
  }
  grid.cellStart[cells] = kept;
  grid.points.resize(kept);
  grid.points.shrink_to_fit();
}

NearestGrid::NearestGrid(const std::uint32_t* latitudes, const std::uint32_t* longitudes, std::size_t count) {
  if (count == 0) return;
  m_minLatitude = KeyDegrees(*std::min_element(latitudes, latitudes + count));
  m_maxLatitude = KeyDegrees(*std::max_element(latitudes, latitudes + count));
  m_fine = Build(latitudes, longitudes, count, kCellHeight, kCellWidth);
  m_coarse = Build(latitudes, longitudes, count, m_fine.cellHeight * kCoarseFactor,
                   m_fine.cellWidth * kCoarseFactor);
}

// A query as the searches read it: degrees, and microdegrees for bounds
// taken straight from point keys.
struct NearestGrid::Query {
  double latitude;
  double longitude;
  double latitudeKey;
  double longitudeKey;
};

double NearestGrid::LatitudeEdge(const Grid& grid, std::int64_t row) {
  return (grid.latOrigin + static_cast<double>(row) * grid.cellHeight) * kMicrodegree;
}

double NearestGrid::LongitudeEdge(const Grid& grid, std::int64_t column) {
  return (grid.lonOrigin + static_cast<double>(column) * grid.cellWidth) * kMicrodegree;
}

void NearestGrid::VisitRun(const Grid& grid, const Query& query, double parallelRadius, std::int64_t row,
                           std::int64_t from, std::int64_t to, Best& best) const {
  const double rowGap =
      std::max({LatitudeEdge(grid, row) - query.latitude, query.latitude - LatitudeEdge(grid, row + 1), 0.0});
  const double cellY = kMinMeridianRadius * rowGap * kRadiansPerDegree;
  const std::uint32_t* start = grid.cellStart.data() + row * grid.columns;
  // Cell by cell, each dismissed whole when no point in it can beat the best.
  for (std::int64_t column = from; column <= to; ++column) {
    if (start[column] == start[column + 1]) continue;
    const double columnGap = std::max({LongitudeEdge(grid, column) - query.longitude,
                                       query.longitude - LongitudeEdge(grid, column + 1), 0.0});
    const double cellX = parallelRadius * columnGap * kRadiansPerDegree;
    if (SquaredBound(cellY, cellX) > SquaredReach(best.distance)) continue;
    VisitPoints(grid.points.data() + start[column], grid.points.data() + start[column + 1], query, parallelRadius,
                best);
  }
}

void NearestGrid::VisitPoints(const Point* first, const Point* last, const Query& query, double parallelRadius,
                              Best& best) {
  // Lower bounds from the smallest radii, the whole one and its north-south
  // part: most points are dismissed without the trigonometry of the exact
  // distance, and the points of a cell ascend by latitude, so that the
  // north-south part ends a walk away from the query's latitude.
  const auto northSouth = [&](const Point& point) {
    return kMinMeridianRadius * (query.latitudeKey - point.latitude) * kRadiansPerMicrodegree;
  };
  const auto northSouthBound = [&](const Point& point) { return SquaredBound(northSouth(point)); };
  const auto squaredBound = [&](const Point& point) {
    return SquaredBound(northSouth(point),
                        parallelRadius * (query.longitudeKey - point.longitude) * kRadiansPerMicrodegree);
  };
  const auto squaredReach = [&] { return SquaredReach(best.distance); };
  const Point* middle = std::lower_bound(first, last, query.latitudeKey, [](const Point& point, double key) {
    return point.latitude < key;
  });
  // Calls act(point) walking both ways from the query's latitude, each way
  // while within(point) holds.
  const auto walk = [&](auto within, auto act) {
    for (const Point* point = middle; point < last && within(*point); ++point) act(*point);
    for (const Point* point = middle; point > first && within(point[-1]); --point) act(point[-1]);
  };
  // The point of the lowest bound first: the bound lies within a fraction
  // of a percent of the exact distance, so that after it the bounds alone
  // dismiss nearly every other point. Found walking until the north-south
  // part alone exceeds the lowest bound seen.
  const Point* lowest = nullptr;
  double lowestBound = squaredReach();
  walk([&](const Point& point) { return northSouthBound(point) < lowestBound; },
       [&](const Point& point) {
         const double bound = squaredBound(point);
         if (bound < lowestBound) {
           lowestBound = bound;
           lowest = &point;
         }
       });
  const auto visit = [&](const Point& point) {
    if (squaredBound(point) > squaredReach()) return;
    const double distance = HubenyDistance(query.latitude, query.longitude, KeyDegrees(point.latitude),
                                           KeyDegrees(point.longitude));
    if (distance < best.distance || (distance == best.distance && point.index < best.index)) {
      best.distance = distance;
      best.index = point.index;
    }
  };
  if (lowest != nullptr) visit(*lowest);
  // Then every other point whose north-south part is within reach. The
  // order changes nothing but the work: the winner is the least (distance,
  // index) of the points no bound dismisses, and a point beyond the walks
  // has a bound beyond the reach at their end, which only shrinks.
  walk([&](const Point& point) { return northSouthBound(point) <= squaredReach(); },
       [&](const Point& point) {
         if (&point != lowest) visit(point);
       });
}

bool NearestGrid::Search(const Grid& grid, double latitude, double longitude, std::int64_t rings,
                         Best& best) const {
  const Query query{latitude, longitude, latitude / kMicrodegree, longitude / kMicrodegree};
  const auto [homeRow, homeColumn] = HomeCell(grid, latitude, longitude);
  const double wholeParallelRadius = MinParallelRadius(latitude, m_minLatitude, m_maxLatitude);
  // The first ring that reaches the grid, for a query outside it.
  const auto outside = [](std::int64_t value, std::int64_t size) {
    return value < 0 ? -value : value >= size ? value - size + 1 : 0;
  };
  const std::int64_t first = std::max(outside(homeRow, grid.rows), outside(homeColumn, grid.columns));

  for (std::int64_t r = first; r - first < rings; ++r) {
    const std::int64_t bottom = std::max(homeRow - r, std::int64_t{0});
    const std::int64_t top = std::min(homeRow + r, grid.rows - 1);
    const std::int64_t left = std::max(homeColumn - r, std::int64_t{0});
    const std::int64_t right = std::min(homeColumn + r, grid.columns - 1);
    // The points of this ring lie in rows bottom..top.
    const double parallelRadius =
        MinParallelRadius(latitude, LatitudeEdge(grid, bottom), LatitudeEdge(grid, top + 1));
    for (std::int64_t row = bottom; row <= top; ++row) {
      if (row == homeRow - r || row == homeRow + r) {
        if (left <= right) VisitRun(grid, query, parallelRadius, row, left, right, best);
      } else {
        if (homeColumn - r == left) VisitRun(grid, query, parallelRadius, row, left, left, best);
        if (r > 0 && homeColumn + r == right) VisitRun(grid, query, parallelRadius, row, right, right, best);
      }
    }

    // Every unvisited point lies beyond one side of the square of rings
    // 0..r; the nearest side bounds its distance from below.
    const double south = homeRow - r > 0 ? latitude - LatitudeEdge(grid, homeRow - r) : kInfinity;
    const double north = homeRow + r < grid.rows - 1 ? LatitudeEdge(grid, homeRow + r + 1) - latitude : kInfinity;
    const double west = homeColumn - r > 0 ? longitude - LongitudeEdge(grid, homeColumn - r) : kInfinity;
    const double east =
        homeColumn + r < grid.columns - 1 ? LongitudeEdge(grid, homeColumn + r + 1) - longitude : kInfinity;
    const double bound = std::min(kMinMeridianRadius * std::min(south, north) * kRadiansPerDegree,
                                  wholeParallelRadius * std::min(west, east) * kRadiansPerDegree);
    if (bound == kInfinity || bound * kBoundSafety > best.distance + kSlackMetres) return true;
  }
  return false;
}

std::pair<std::int64_t, std::int64_t> NearestGrid::HomeCell(const Grid& grid, double latitude, double longitude) {
  return {static_cast<std::int64_t>(std::floor((latitude / kMicrodegree - grid.latOrigin) / grid.cellHeight)),
          static_cast<std::int64_t>(std::floor((longitude / kMicrodegree - grid.lonOrigin) / grid.cellWidth))};
}

void NearestGrid::Prefetch(double latitude, double longitude, int stage) const {
  if (m_fine.points.empty() || !(std::fabs(latitude) <= 90.0 && std::fabs(longitude) <= 180.0)) return;
  const auto [row, column] = HomeCell(m_fine, latitude, longitude);
  if (row < 0 || row >= m_fine.rows || column < 0 || column >= m_fine.columns) return;
  const std::uint32_t* start = m_fine.cellStart.data() + row * m_fine.columns + column;
  if (stage == 0) {
    __builtin_prefetch(start);
  } else {
    // The home cell's points, up to a bound: a search reads most of their
    // lines when it looks for the query's latitude among them.
    const char* first = reinterpret_cast<const char*>(m_fine.points.data() + start[0]);
    const char* last = reinterpret_cast<const char*>(m_fine.points.data() + start[1]);
    last = std::min(last, first + kPrefetchedCellBytes);
    for (const char* line = first; line < last; line += 64) __builtin_prefetch(line);
  }
}

NearestGrid::Nearest NearestGrid::Find(double latitude, double longitude, double limit) const {
  if (m_fine.points.empty()) return {};
  Best best{limit > 0 ? limit : kInfinity};
  // The coarse grid visits again what the fine one saw; a point seen twice
  // changes nothing.
  if (!Search(m_fine, latitude, longitude, kFineRings, best)) {
    Search(m_coarse, latitude, longitude, std::numeric_limits<std::int64_t>::max(), best);
  }
  if (best.index == Best::kNone) return {};
  return {best.index, best.distance};
}

}  // namespace kavrel
