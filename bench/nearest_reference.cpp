#include "nearest_reference.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>
#include <unordered_map>

namespace kavrel::bench {

struct NearestReference::Best {
  double distance = std::numeric_limits<double>::infinity();  // squared, in scaled microdegrees
  std::uint32_t index = std::numeric_limits<std::uint32_t>::max();
};

NearestReference::NearestReference(const std::vector<PointRecord>& points, std::u16string separator,
                                   const NameSource& names)
    : m_separator(std::move(separator)) {
  Build(points);
  ReadNames(points, names);
}

void NearestReference::Build(const std::vector<PointRecord>& points) {
  const auto [latLow, latHigh] = std::minmax_element(
      points.begin(), points.end(), [](const PointRecord& a, const PointRecord& b) { return a.latitude < b.latitude; });
  const auto [lonLow, lonHigh] = std::minmax_element(
      points.begin(), points.end(), [](const PointRecord& a, const PointRecord& b) { return a.longitude < b.longitude; });
  m_latOrigin = latLow->latitude;
  m_lonOrigin = lonLow->longitude;
  m_rows = (latHigh->latitude - m_latOrigin) / kCell + 1;
  m_columns = (lonHigh->longitude - m_lonOrigin) / kCell + 1;
  m_points.reserve(points.size());
  for (std::size_t i = 0; i < points.size(); ++i) {
    m_points.push_back({points[i].latitude, points[i].longitude, (points[i].longitude - m_lonOrigin) / kCell,
                        static_cast<std::uint32_t>(i)});
  }
  const auto rowOf = [this](const Point& p) { return (p.latitude - m_latOrigin) / kCell; };
  std::sort(m_points.begin(), m_points.end(), [&](const Point& a, const Point& b) {
    if (rowOf(a) != rowOf(b)) return rowOf(a) < rowOf(b);
    return a.column != b.column ? a.column < b.column : a.index < b.index;
  });
  m_rowStart.assign(static_cast<std::size_t>(m_rows) + 1, 0);
  for (const Point& p : m_points) ++m_rowStart[rowOf(p) + 1];
  for (std::size_t r = 0; r < static_cast<std::size_t>(m_rows); ++r) m_rowStart[r + 1] += m_rowStart[r];
}

void NearestReference::ReadNames(const std::vector<PointRecord>& points, const NameSource& names) {
  std::unordered_map<std::uint64_t, std::uint32_t> known;
  m_nameOf.reserve(3 * points.size());
  for (const PointRecord& point : points) {
    const std::uint32_t keys[] = {point.prefecture, point.city, point.area};
    for (int level = 0; level < 3; ++level) {
      const std::uint64_t id = std::uint64_t{static_cast<std::uint32_t>(level)} << 32 | keys[level];
      const auto [place, added] = known.emplace(id, 0);
      if (added) {
        const std::u16string text = names(level, keys[level]).substr(0, 255);
        place->second = static_cast<std::uint32_t>(m_texts.size() << 8 | text.size());
        m_texts += text;
      }
      m_nameOf.push_back(place->second);
    }
  }
}

void NearestReference::VisitCells(std::int64_t row, std::int64_t from, std::int64_t to, double latKey,
                                  double lonKey, double scale, Best& best) const {
  if (row < 0 || row >= m_rows || to < 0 || from >= m_columns) return;
  const Point* begin = m_points.data() + m_rowStart[static_cast<std::size_t>(row)];
  const Point* end = m_points.data() + m_rowStart[static_cast<std::size_t>(row) + 1];
  const auto first = static_cast<std::uint32_t>(std::max<std::int64_t>(from, 0));
  const Point* p = std::lower_bound(begin, end, first, [](const Point& a, std::uint32_t c) { return a.column < c; });
  for (; p < end && p->column <= to; ++p) {
    const double dy = p->latitude - latKey;
    const double dx = (p->longitude - lonKey) * scale;
    const double distance = dy * dy + dx * dx;
    if (distance < best.distance || (distance == best.distance && p->index < best.index)) {
      best.distance = distance;
      best.index = p->index;
    }
  }
}

std::uint32_t NearestReference::Nearest(double latitude, double longitude) const {
  const double latKey = latitude * 1e6;
  const double lonKey = longitude * 1e6;
  const double scale = std::cos(latitude * 3.14159265358979323846 / 180.0);
  const auto row = static_cast<std::int64_t>(std::floor((latKey - m_latOrigin) / kCell));
  const auto column = static_cast<std::int64_t>(std::floor((lonKey - m_lonOrigin) / kCell));
  Best best;
  for (std::int64_t r = 0;; ++r) {
    VisitCells(row - r, column - r, column + r, latKey, lonKey, scale, best);
    if (r > 0) VisitCells(row + r, column - r, column + r, latKey, lonKey, scale, best);
    for (std::int64_t between = row - r + 1; between < row + r; ++between) {
      VisitCells(between, column - r, column - r, latKey, lonKey, scale, best);
      if (r > 0) VisitCells(between, column + r, column + r, latKey, lonKey, scale, best);
    }
    // Every unvisited point lies beyond one side of the square of rings 0..r.
    const double south = latKey - (m_latOrigin + static_cast<double>(row - r) * kCell);
    const double north = m_latOrigin + static_cast<double>(row + r + 1) * kCell - latKey;
    const double west = (lonKey - (m_lonOrigin + static_cast<double>(column - r) * kCell)) * scale;
    const double east = (m_lonOrigin + static_cast<double>(column + r + 1) * kCell - lonKey) * scale;
    const double gap = std::min({south, north, west, east});
    const bool covered = row - r <= 0 && row + r >= m_rows - 1 && column - r <= 0 && column + r >= m_columns - 1;
    if (covered || (best.index != std::numeric_limits<std::uint32_t>::max() && best.distance <= gap * gap)) {
      return best.index;
    }
  }
}

std::int64_t NearestReference::Lookup(double latitude, double longitude, char16_t* buffer,
                                      std::size_t capacity) const {
  const std::uint32_t* names = m_nameOf.data() + 3 * std::size_t{Nearest(latitude, longitude)};
  const auto text = [this](std::uint32_t name) { return std::u16string_view(m_texts).substr(name >> 8, name & 0xFF); };
  const std::u16string_view p = text(names[0]);
  const std::u16string_view c = text(names[1]);
  const std::u16string_view s = text(names[2]);
  const std::size_t length = p.size() + c.size() + s.size() + 2 * m_separator.size();
  if (length >= capacity) return -1;
  char16_t* out = std::copy(p.begin(), p.end(), buffer);
  out = std::copy(m_separator.begin(), m_separator.end(), out);
  out = std::copy(c.begin(), c.end(), out);
  out = std::copy(m_separator.begin(), m_separator.end(), out);
  out = std::copy(s.begin(), s.end(), out);
  *out = 0;
  return static_cast<std::int64_t>(length);
}

}  // namespace kavrel::bench
