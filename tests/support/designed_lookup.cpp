#include "designed_lookup.h"

#include "kavrel/format/blocks.h"
#include "kavrel/platform/text.h"
#include "kavrelcore.h"
#include "ring_search.h"
#include "search.h"

namespace kavrel::test {

std::ostream& operator<<(std::ostream& out, const Lookup& lookup) {
  return out << "code " << lookup.code << " \"" << platform::Utf16ToUtf8(lookup.text) << "\"";
}

namespace {

std::vector<std::uint32_t> Longitudes(const PointList& list) {
  return {list.longitudes.begin(), list.longitudes.begin() + list.count};
}

}  // namespace

Lookup DesignedLookup(CkavrelcoreApp& engine, double latitude, double longitude) {
  const std::uint32_t latKey = CoordinateKey(latitude);
  const std::uint32_t lonKey = CoordinateKey(longitude);
  const SearchParameters parameters = EffectiveParameters(engine.Parameters());
  engine.LoadPoints(latKey);
  PointList list = engine.Points();
  Lookup lookup;
  const std::int32_t winner = RingSearch(list.count, list.latitudes.data(), list.longitudes.data(), latKey,
                                         lonKey, parameters.step, parameters.width);
  lookup.longitudes = Longitudes(list);
  if (winner < 0) {
    lookup.code = KAVREL_E_NOT_FOUND;
    return lookup;
  }
  const AddressKey keys = list.keys[static_cast<std::size_t>(winner)];
  std::u16string name;
  engine.LookupName(kLevelPref, keys.nPref, name);
  lookup.text = name + engine.Separator();
  engine.LookupName(kLevelCity, keys.nCity, name);
  lookup.text += name + engine.Separator();
  engine.LookupName(kLevelArea, keys.nArea, name);
  lookup.text += name;
  return lookup;
}

Lookup EngineLookup(CkavrelcoreApp& engine, double latitude, double longitude) {
  Lookup lookup;
  lookup.code = engine.ReverseGeocode(latitude, longitude, lookup.text, nullptr);
  lookup.longitudes = Longitudes(engine.Points());
  return lookup;
}

}  // namespace kavrel::test
