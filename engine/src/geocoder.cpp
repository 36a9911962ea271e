#include "geocoder.h"

#include <cmath>
#include <limits>
#include <new>
#include <optional>
#include <string>

#include "engine_app.h"
#include "geodesy.h"
#include "kavrel/format/blocks.h"
#include "kavrel/platform/text.h"
#include "kavrelcore.h"
#include "package_codes.h"
#include "point_list.h"
#include "ring_search.h"
#include "search.h"

namespace kavrel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

}  // namespace

void SetEmptyAnswer(kavrel_answer& answer) {
  answer = {nullptr, nullptr, nullptr, 0, 0, 0, kNaN, kNaN, kNaN};
}

std::int32_t CheckQuery(const kavrel_query* query, LookupQuery& checked) {
  const kavrel_query given = query != nullptr ? *query : kavrel_query{};
  if (given.mode != KAVREL_MODE_DESIGNED && given.mode != KAVREL_MODE_NEAREST) return KAVREL_INVALID_ARGUMENT;
  if (given.step < 0 || given.width < 0) return KAVREL_INVALID_ARGUMENT;
  checked.mode = given.mode;
  // SetStep followed by a search, for positive arguments.
  checked.parameters = EffectiveParameters(StepParameters(
      given.step > 0 ? given.step : KAVREL_DEFAULT_STEP, given.width > 0 ? given.width : KAVREL_DEFAULT_WIDTH));
  if (!(given.max_distance >= 0)) return KAVREL_INVALID_ARGUMENT;  // NaN too
  if (given.max_distance > 0) {
    checked.maxDistance = given.max_distance;
  } else {
    checked.maxDistance = given.mode == KAVREL_MODE_NEAREST ? KAVREL_DEFAULT_REACH : kInfinity;
  }
  return KAVREL_SUCCESS;
}

std::int32_t Geocoder::Open(const char* path, std::unique_ptr<Geocoder>& geocoder) {
  std::u16string file;
  if (path != nullptr) {
    file = platform::Utf8ToUtf16(path);
  } else if (const std::optional<std::u16string> found = FindDataFile(kDefaultDataFile)) {
    file = *found;
  } else {
    return KAVREL_PACKAGE_NOT_FOUND;
  }
  auto opened = std::make_unique<Geocoder>(OpenKey{});
  const PackageStatus opening = opened->m_package.Open(file);
  if (opening != PackageStatus::kOk) return KavrelOpenCode(opening);
  // As PreloadData: entries that do not load are left out.
  opened->m_package.LoadAll();
  opened->m_package.Close();

  opened->m_index = std::make_unique<SearchIndex>(opened->m_package);
  const SearchIndex& index = *opened->m_index;
  for (int level = kLevelPref; level <= kLevelArea; ++level) opened->m_names[level] = AddressNames(index, level);
  opened->m_namePlaces.reserve(index.PointCount());
  for (std::uint32_t i = 0; i < index.PointCount(); ++i) {
    opened->m_namePlaces.push_back(opened->NamePlaces(index.Keys(i)));
  }
  opened->m_grid = NearestGrid(index.Latitudes().data(), index.Longitudes().data(), index.PointCount());
  geocoder = std::move(opened);
  return KAVREL_SUCCESS;
}

bool Geocoder::FindDesigned(std::uint32_t latKey, std::uint32_t lonKey, const LookupQuery& query,
                            Match& match) const {
  const SearchIndex& index = *m_index;
  const SearchParameters& parameters = query.parameters;
  const SearchResult result = FindWinner(index, {latKey, lonKey, parameters});
  if (result.outcome == SearchResult::kFound) {
    match = {index.Latitudes()[result.point], index.Longitudes()[result.point], index.Keys(result.point),
             result.point};
    return true;
  }
  if (result.outcome == SearchResult::kNone) return false;

  PointList list;
  GatherLoadedPoints(m_package, latKey, parameters.bandRange, list);
  // The search sets points aside by zeroing their longitudes, the winner's
  // too when step * width wraps; it works on a copy.
  std::vector<std::uint32_t> longitudes = list.longitudes;
  const std::int32_t best = SearchPointList(list.count, list.latitudes.data(), longitudes.data(), latKey, lonKey,
                                            parameters.step, parameters.width);
  if (best < 0) return false;
  const auto i = static_cast<std::size_t>(best);
  match = {list.latitudes[i], list.longitudes[i], list.keys[i]};
  return true;
}

std::int32_t Geocoder::Lookup(double latitude, double longitude, const LookupQuery& query,
                              kavrel_answer& answer) const {
  SetEmptyAnswer(answer);
  if (query.mode == KAVREL_MODE_NEAREST) {
    if (!(std::fabs(latitude) <= 90.0 && std::fabs(longitude) <= 180.0)) return KAVREL_INVALID_ARGUMENT;
    const NearestGrid::Nearest nearest = m_grid.Find(latitude, longitude, query.maxDistance);
    if (nearest.index < 0) return KAVREL_NO_ANSWER;
    const auto point = static_cast<std::uint32_t>(nearest.index);
    FillAnswer({m_index->Latitudes()[point], m_index->Longitudes()[point], m_index->Keys(point), point},
               nearest.distance, answer);
    return KAVREL_SUCCESS;
  }

  Match match;
  try {
    if (!FindDesigned(CoordinateKey(latitude), CoordinateKey(longitude), query, match)) return KAVREL_NO_ANSWER;
  } catch (const std::bad_alloc&) {
    // The point list of a search the index leaves to the ring search could
    // not be had; nothing may leave a C call or a lookup thread.
    return KAVREL_OUT_OF_MEMORY;
  }
  const double distance =
      HubenyDistance(latitude, longitude, KeyDegrees(match.latitude), KeyDegrees(match.longitude));
  if (query.maxDistance < kInfinity && !(distance <= query.maxDistance)) return KAVREL_NO_ANSWER;
  FillAnswer(match, distance, answer);
  return KAVREL_SUCCESS;
}

std::array<std::uint32_t, 3> Geocoder::NamePlaces(const AddressKey& keys) const {
  std::array<std::uint32_t, 3> places;
  for (int level = kLevelPref; level <= kLevelArea; ++level) {
    places[level] = m_names[level].Locate(LevelKey(keys, level));
  }
  return places;
}

void Geocoder::FillAnswer(const Match& match, double distance, kavrel_answer& answer) const {
  const std::array<std::uint32_t, 3> places =
      match.point >= 0 ? m_namePlaces[static_cast<std::size_t>(match.point)] : NamePlaces(match.keys);
  answer.prefecture = m_names[kLevelPref].Text(places[kLevelPref]);
  answer.city = m_names[kLevelCity].Text(places[kLevelCity]);
  answer.area = m_names[kLevelArea].Text(places[kLevelArea]);
  answer.prefecture_key = match.keys.nPref;
  answer.city_key = match.keys.nCity;
  answer.area_key = match.keys.nArea;
  answer.latitude = KeyDegrees(match.latitude);
  answer.longitude = KeyDegrees(match.longitude);
  answer.distance = distance;
}

kavrel_facts Geocoder::Facts() const {
  return {m_index->PointCount(), static_cast<std::uint64_t>(m_package.FileCount()), m_names[kLevelPref].Count(),
          m_names[kLevelCity].Count(), m_names[kLevelArea].Count()};
}

}  // namespace kavrel
