// The reverse geocoding search: coordinate keys, the binary search for a
// start point, the choice of how to find the winner, and the address text.
#include "search.h"

#include <cstdint>
#include <optional>
#include <string>

#include "engine_app.h"
#include "kavrel/format/blocks.h"
#include "kavrel/platform/clock.h"
#include "kavrelcore.h"
#include "ring_search.h"
#include "search_index.h"

namespace kavrel {
namespace {

void StoreElapsed(std::int32_t* elapsedMs, const std::optional<platform::Stopwatch>& stopwatch) {
  if (elapsedMs != nullptr && stopwatch) *elapsedMs = static_cast<std::int32_t>(stopwatch->ElapsedMilliseconds());
}

}  // namespace

std::uint32_t CoordinateKey(double degrees) {
  const double microdegrees = degrees * 1000000.0;
  // 2^63: beyond it, as for NaN, the hardware conversion gives
  // 0x8000000000000000, whose low 32 bits are 0.
  constexpr double kLimit = 9223372036854775808.0;
  if (!(microdegrees > -kLimit && microdegrees < kLimit)) return 0;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(microdegrees)));
}

SearchParameters StepParameters(std::int32_t step, std::int32_t width) {
  // The band range comes from the arguments as passed, their product wrapping
  // at 32 bits (done unsigned, where wrapping is defined), then divided with
  // truncation toward zero. A range below 1 is replaced when a search starts.
  const auto product = static_cast<std::int32_t>(static_cast<std::uint32_t>(step) *
                                                 static_cast<std::uint32_t>(width));
  return {step > 0 ? step : 100, width > 0 ? width : 300, product / 30000};
}

std::int32_t FindStartIndex(std::int32_t n, const std::uint32_t* latitudes, std::uint32_t key) {
  return FindStartIndexBy(n, [&](std::int32_t probe) {
    const std::uint32_t value = latitudes[probe];
    return value == key ? 0 : value > key ? 1 : -1;
  });
}

std::int32_t CkavrelcoreApp::FindNearestPoint(std::uint32_t latKey, std::uint32_t lonKey, AddressKey& found,
                                              std::uint32_t* indexPoint) {
  constexpr std::int32_t kNotFound = KAVREL_E_NOT_FOUND;
  if (const SearchIndex* index = Index()) {
    ApplySearchDefaults();
    const SearchResult result = FindWinner(*index, {latKey, lonKey, m_nStep, m_nWidth, m_nBandRange});
    if (result.outcome == SearchResult::kFound) {
      found = index->Keys(result.point);
      if (indexPoint != nullptr) *indexPoint = result.point;
      return 0;
    }
    if (result.outcome == SearchResult::kNone) return kNotFound;
  }

  LoadPoints(latKey);
  // Step and width are read only now: the load may have reset them.
  const std::int32_t n = m_nPointCount;
  const std::int32_t step = m_nStep;
  const std::int32_t width = m_nWidth;
  const std::uint32_t* latitudes = m_pLatitudes.data();
  std::uint32_t* longitudes = m_pLongitudes.data();
  const std::int32_t best = SearchPointList(n, latitudes, longitudes, latKey, lonKey, step, width);
  if (best < 0) return kNotFound;
  found = m_pAddressKeys[static_cast<std::size_t>(best)];
  return 0;
}

void CkavrelcoreApp::AppendName(int level, std::uint32_t key, std::u16string& address) {
  std::u16string_view text;
  const SearchIndex* index = Index();
  if (index != nullptr && index->Names().Find(level, key, text)) {
    address += text;
    return;
  }
  LookupName(level, key, m_strName);
  address += m_strName;
}

std::int32_t CkavrelcoreApp::ReverseGeocode(double latitude, double longitude, std::int32_t* elapsedMs) {
  const std::uint32_t latKey = CoordinateKey(latitude);
  const std::uint32_t lonKey = CoordinateKey(longitude);
  if (elapsedMs != nullptr) *elapsedMs = 0;
  std::optional<platform::Stopwatch> stopwatch;
  if (elapsedMs != nullptr) stopwatch.emplace();

  AddressKey keys;
  constexpr std::uint32_t kNotIndexed = 0xFFFFFFFF;
  std::uint32_t point = kNotIndexed;
  const std::int32_t result = FindNearestPoint(latKey, lonKey, keys, &point);
  // The index has the winner's names ready beside it.
  if (result != 0 ||
      (point != kNotIndexed && Index()->JoinAddress(point, m_strSeparator, m_strAddress))) {
    StoreElapsed(elapsedMs, stopwatch);
    return result;
  }

  // A missing name leaves its part empty; both separators always stand.
  m_strAddress.clear();
  AppendName(kLevelPref, keys.nPref, m_strAddress);
  m_strAddress += m_strSeparator;
  AppendName(kLevelCity, keys.nCity, m_strAddress);
  m_strAddress += m_strSeparator;
  AppendName(kLevelArea, keys.nArea, m_strAddress);
  StoreElapsed(elapsedMs, stopwatch);
  return 0;
}

std::int32_t CkavrelcoreApp::ReverseGeocode(double latitude, double longitude, std::u16string& address,
                                            std::int32_t* elapsedMs) {
  const std::int32_t result = ReverseGeocode(latitude, longitude, elapsedMs);
  if (result == 0) address = m_strAddress;
  return result;
}

}  // namespace kavrel
