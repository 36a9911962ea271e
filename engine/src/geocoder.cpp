#include "geocoder.h"

#include <cmath>
#include <exception>
#include <limits>
#include <new>
#include <optional>
#include <string>

#include "designed_search.h"
#include "engine_app.h"
#include "geodesy.h"
#include "kavrel/format/blocks.h"
#include "kavrel/format/package_attribution.h"
#include "kavrel/platform/text.h"
#include "kavrelcore.h"
#include "package_codes.h"
#include "point_list.h"
#include "search.h"

namespace kavrel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Whether `degrees` has a microdegree key of its own in [0, limit]: the
// designed arithmetic keeps the low 32 bits of the truncated product, so a
// value beyond the limit or below the key 0 would read as another place.
bool KeyHolds(double degrees, double limit) { return degrees * 1e6 > -1.0 && degrees <= limit; }

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
    file = platform::Utf8ToUtf16KeepingBytes(path);
  } else if (const std::optional<std::u16string> found = FindDataFile(kDefaultDataFile, true)) {
    file = *found;
  } else {
    return KAVREL_PACKAGE_NOT_FOUND;
  }
  auto opened = std::make_unique<Geocoder>(OpenKey{});
  PackageStatus status = opened->m_package.Open(file);
  if (status == PackageStatus::kOk) status = opened->m_package.ReadImage();
  opened->m_package.Close();
  if (status != PackageStatus::kOk) return KavrelOpenCode(status);
  opened->ReadAttribution();
  opened->m_bands = std::make_unique<PackageBands>(opened->m_package);
  opened->m_names = std::make_unique<BlockNames>(opened->m_package);
  geocoder = std::move(opened);
  return KAVREL_SUCCESS;
}

void Geocoder::ReadAttribution() {
  const std::int32_t index = m_package.FindFile(platform::Utf8ToUtf16(format::kAttributionEntry));
  std::unique_ptr<std::uint8_t[]> data;
  std::int32_t size = 0;
  if (index < 0 || m_package.DecodeEntry(index, data, size) != PackageStatus::kOk) return;
  m_attribution.assign(reinterpret_cast<const char*>(data.get()), static_cast<std::size_t>(size));
  m_hasAttribution = true;
}

void Geocoder::Preload(std::int32_t mode) const {
  // Once made, a second preload costs one atomic load: a caller that looks
  // up in many blocks of rows preloads with each block.
  m_preloaded.Get([this] {
    for (int level = kLevelPref; level <= kLevelArea; ++level) {
      for (const std::uint32_t key : Catalogue().keys[level]) m_names->Text(level, key);
    }
    return true;
  });
  if (mode == KAVREL_MODE_NEAREST) NearestPoints();
}

const Geocoder::Nearest& Geocoder::NearestPoints() const {
  return m_nearest.Get([this] {
    Nearest nearest;
    const std::size_t count = RegularPoints(*m_bands).Count();
    std::vector<std::uint32_t> latitudes;
    std::vector<std::uint32_t> longitudes;
    nearest.matches.reserve(count);
    latitudes.reserve(count);
    longitudes.reserve(count);
    for (std::size_t t = 0; t < m_bands->BandKeys().size(); ++t) {
      const BandIndex& band = m_bands->Band(t);
      if (!band.Regular()) continue;
      for (std::uint32_t i = 0; i < band.Count(); ++i) {
        nearest.matches.push_back(PointOf({static_cast<std::uint32_t>(t), i}));
      }
      latitudes.insert(latitudes.end(), band.Latitudes().begin(), band.Latitudes().end());
      longitudes.insert(longitudes.end(), band.Longitudes().begin(), band.Longitudes().end());
    }
    nearest.grid = NearestGrid(latitudes.data(), longitudes.data(), latitudes.size());
    return nearest;
  });
}

const Geocoder::KeyLists& Geocoder::Catalogue() const {
  return m_catalogue.Get([this] {
    KeyLists lists;
    // A bit for every key a point record can carry (P one byte, C two, S
    // three; 2 MiB in all), read back in order: sorting a key of each level
    // for every point took several times as long.
    std::vector<std::uint64_t> seen[3] = {std::vector<std::uint64_t>(std::size_t{1} << 2),
                                          std::vector<std::uint64_t>(std::size_t{1} << 10),
                                          std::vector<std::uint64_t>(std::size_t{1} << 18)};
    for (std::size_t t = 0; t < m_bands->BandKeys().size(); ++t) {
      const BandIndex& band = m_bands->Band(t);
      if (!band.Regular()) continue;
      lists.points += band.Count();
      for (std::uint32_t i = 0; i < band.Count(); ++i) {
        for (int level = kLevelPref; level <= kLevelArea; ++level) {
          const std::uint32_t key = LevelKey(band.Point(i).keys, level);
          if (key >> 6 >= seen[level].size()) seen[level].resize((key >> 6) + 1);
          seen[level][key >> 6] |= std::uint64_t{1} << (key & 63);
        }
      }
    }
    for (int level = kLevelPref; level <= kLevelArea; ++level) {
      for (std::size_t word = 0; word < seen[level].size(); ++word) {
        for (std::uint64_t bits = seen[level][word]; bits != 0; bits &= bits - 1) {
          lists.keys[level].push_back(static_cast<std::uint32_t>(word * 64 + __builtin_ctzll(bits)));
        }
      }
    }
    return lists;
  });
}

bool Geocoder::FindDesigned(std::uint32_t latKey, std::uint32_t lonKey, const LookupQuery& query,
                            Match& match) const {
  PointList list;
  // The search sets points aside by zeroing their longitudes, the winner's
  // too when step * width wraps; the answer needs the longitude as it was.
  std::vector<std::uint32_t> longitudes;
  const DesignedWinner winner =
      FindDesignedWinner(m_bands.get(), {latKey, lonKey, query.parameters}, [&]() -> PointList& {
        GatherBandPoints(*m_bands, latKey, query.parameters.bandRange, list);
        longitudes = list.longitudes;
        return list;
      });
  if (winner.source == DesignedWinner::kIndex) match = PointOf(winner.indexPoint);
  if (winner.source == DesignedWinner::kList) {
    const auto i = static_cast<std::size_t>(winner.listPoint);
    match = {list.latitudes[i], longitudes[i], list.keys[i]};
  }
  return winner.source != DesignedWinner::kNone;
}

Geocoder::Found Geocoder::Search(double latitude, double longitude, const LookupQuery& query) const {
  Found found;
  try {
    if (query.mode == KAVREL_MODE_NEAREST) return SearchNearest(latitude, longitude, query);
    if (!KeyHolds(latitude, 90.0) || !KeyHolds(longitude, 180.0)) return found;
    if (!FindDesigned(CoordinateKey(latitude), CoordinateKey(longitude), query, found.match)) return found;
    found.distance =
        HubenyDistance(latitude, longitude, KeyDegrees(found.match.latitude), KeyDegrees(found.match.longitude));
    if (query.maxDistance < kInfinity && !(found.distance <= query.maxDistance)) return found;
    found.result = KAVREL_SUCCESS;
  } catch (const std::exception&) {
    // A band, the grid or a ring search's point list could not be had;
    // nothing may leave a C call or a lookup thread.
    found.result = KAVREL_OUT_OF_MEMORY;
  }
  return found;
}

Geocoder::Found Geocoder::SearchNearest(double latitude, double longitude, const LookupQuery& query) const {
  Found found;
  if (!(std::fabs(latitude) <= 90.0 && std::fabs(longitude) <= 180.0)) {
    found.result = KAVREL_INVALID_ARGUMENT;
    return found;
  }
  const NearestGrid::Nearest nearest = NearestPoints().grid.Find(latitude, longitude, query.maxDistance);
  if (nearest.index < 0) return found;
  found.result = KAVREL_SUCCESS;
  found.nearest = nearest.index;
  found.distance = nearest.distance;
  return found;
}

const Geocoder::Match& Geocoder::MatchOf(const Found& found) const {
  // A nearest search made the grid, so it is there.
  return found.nearest >= 0 ? m_nearest.IfMade()->matches[static_cast<std::size_t>(found.nearest)] : found.match;
}

std::int32_t Geocoder::Answer(const Found& found, kavrel_answer& answer) const {
  SetEmptyAnswer(answer);
  if (found.result != KAVREL_SUCCESS) return found.result;
  try {
    FillAnswer(MatchOf(found), found.distance, answer);
    return KAVREL_SUCCESS;
  } catch (const std::exception&) {
    // A name block could not be decoded (memory, or a text converter the
    // system lacks).
    SetEmptyAnswer(answer);
    return KAVREL_OUT_OF_MEMORY;
  }
}

void Geocoder::PrefetchAnswer(const Found& found, int stage) const {
  if (found.result != KAVREL_SUCCESS) return;
  if (stage == 0) {
    __builtin_prefetch(&MatchOf(found));  // a designed match is already in hand
    return;
  }
  m_names->Prefetch(kLevelArea, MatchOf(found).keys.nArea);
}

Geocoder::Match Geocoder::PointOf(BandPoint point) const {
  const BandIndex& band = m_bands->Band(point.band);
  return {band.Latitudes()[point.point], band.Longitudes()[point.point], band.Point(point.point).keys};
}

void Geocoder::FillAnswer(const Match& match, double distance, kavrel_answer& answer) const {
  answer.prefecture = m_names->Text(kLevelPref, match.keys.nPref);
  answer.city = m_names->Text(kLevelCity, match.keys.nCity);
  answer.area = m_names->Text(kLevelArea, match.keys.nArea);
  answer.prefecture_key = match.keys.nPref;
  answer.city_key = match.keys.nCity;
  answer.area_key = match.keys.nArea;
  answer.latitude = KeyDegrees(match.latitude);
  answer.longitude = KeyDegrees(match.longitude);
  answer.distance = distance;
}

kavrel_facts Geocoder::Facts() const {
  const KeyLists& lists = Catalogue();
  return {lists.points, static_cast<std::uint64_t>(m_package.FileCount()), lists.keys[kLevelPref].size(),
          lists.keys[kLevelCity].size(), lists.keys[kLevelArea].size()};
}

}  // namespace kavrel
