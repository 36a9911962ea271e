#include "designed_lookup.h"

#include "kavrel/format/blocks.h"
#include "kavrel/platform/text.h"
#include "ring_search.h"
#include "search.h"

namespace kavrel::test {

std::ostream& operator<<(std::ostream& out, const Lookup& lookup) {
  return out << "code " << lookup.code << " \"" << platform::Utf16ToUtf8(lookup.text) << "\" step "
             << lookup.step << " width " << lookup.width << " bands " << lookup.bandRange;
}

namespace {

void Parameters(const CkavrelcoreApp& engine, Lookup& lookup) {
  lookup.step = engine.m_nStep;
  lookup.width = engine.m_nWidth;
  lookup.bandRange = engine.m_nBandRange;
}

}  // namespace

Lookup DesignedLookup(CkavrelcoreApp& engine, double latitude, double longitude) {
  const std::uint32_t latKey = CoordinateKey(latitude);
  const std::uint32_t lonKey = CoordinateKey(longitude);
  Lookup lookup;
  engine.LoadPoints(latKey);
  Parameters(engine, lookup);
  const std::int32_t winner = RingSearch(engine.m_nPointCount, engine.m_pLatitudes.data(),
                                         engine.m_pLongitudes.data(), latKey, lonKey, engine.m_nStep,
                                         engine.m_nWidth);
  if (winner < 0) {
    lookup.code = -1005;
    return lookup;
  }
  const AddressKey keys = engine.m_pAddressKeys[static_cast<std::size_t>(winner)];
  std::u16string name;
  engine.LookupName(kLevelPref, keys.nPref, name);
  lookup.text = name + engine.m_strSeparator;
  engine.LookupName(kLevelCity, keys.nCity, name);
  lookup.text += name + engine.m_strSeparator;
  engine.LookupName(kLevelArea, keys.nArea, name);
  lookup.text += name;
  return lookup;
}

Lookup EngineLookup(CkavrelcoreApp& engine, double latitude, double longitude) {
  Lookup lookup;
  lookup.code = engine.ReverseGeocode(latitude, longitude, lookup.text, nullptr);
  Parameters(engine, lookup);
  return lookup;
}

}  // namespace kavrel::test
