// The process-wide engine: the open package, the search parameters and the
// point list of the last search.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data_package.h"
#include "kavrel/platform/text.h"

namespace kavrel {

// The three address keys of a point and its extra byte.
struct AddressKey {
  std::uint8_t nExtra = 0;  // record offset 11; carried, never read
  std::uint8_t nPref = 0;   // P key, record offset 8
  std::uint16_t nCity = 0;  // C key, record offsets 9-10
  std::uint32_t nArea = 0;  // S key, record offsets 12-14
};

class CkavrelcoreApp {
public:
  // The state at library load: nothing open, every number 0, texts empty.
  CkavrelcoreApp() = default;
  CkavrelcoreApp(const CkavrelcoreApp&) = delete;
  CkavrelcoreApp& operator=(const CkavrelcoreApp&) = delete;

  // --- interface and state (engine_app.cpp) ---

  // Finds the package by the search order (as given, current directory,
  // program directory; a name with '/' is not searched further) and opens
  // it. Null means "kavreldata.bin". Returns 0, -1003, or Open's code.
  std::int32_t Initialize(const char16_t* dataFile);
  // Closes the package; 0, or -1002 when not initialised.
  std::int32_t Cleanup();
  // Sets step, width and the band range; always 0.
  std::int32_t SetStep(std::int32_t step, std::int32_t width);
  // Null means empty. Always 0.
  std::int32_t SetSeparator(const char16_t* separator);
  // Loads every entry and sets the preload bit; 0, or -1002 when not
  // initialised.
  std::int32_t PreloadData();
  bool IsPreloaded() const { return (m_nPreload & 1) != 0; }

  // --- point and name blocks (point_list.cpp, names.cpp) ---

  // Rebuilds the point list from the point blocks of the bands around
  // latKey (m_nBandRange on each side, reset to 1 with step 100 and width
  // 300 when it is 0 or less). Always 1. Throws std::bad_alloc when the
  // arrays cannot be had.
  int LoadPoints(std::uint32_t latKey);
  // Replaces the point arrays by `capacity` zeroed elements each; count 0.
  void AllocatePoints(std::int32_t capacity);
  // The name of `key` at `level` (0 P, 1 C, 2 S) in `name`; 0, or -1006
  // when there is none (then `name` is empty).
  std::int32_t LookupName(int level, std::uint32_t key, std::u16string& name);

  // --- search (search.cpp) ---

  // Ring search around the keys; 0 with the winner's keys in `found`, or
  // -1005 when no point qualifies.
  std::int32_t FindNearestPoint(std::uint32_t latKey, std::uint32_t lonKey, AddressKey& found);
  // The whole lookup: keys, search, names joined by the separator. 0 with
  // the text in `address`, or -1005. When `elapsedMs` is given it receives
  // the milliseconds taken (the search and the names, not any copy).
  std::int32_t ReverseGeocode(double latitude, double longitude, std::u16string& address,
                              std::int32_t* elapsedMs);

  // --- state ---
  std::int32_t m_bInitialized = 0;
  std::int32_t m_nPreload = 0;         // bit 0: PreloadData has run
  std::u16string m_strDataFile;
  std::u16string m_strSeparator;
  CDataPackage m_package;
  std::int32_t m_nStep = 0;
  std::int32_t m_nWidth = 0;
  std::int32_t m_nBandRange = 0;
  std::int32_t m_nPointCount = 0;
  std::vector<std::uint32_t> m_pLatitudes;
  std::vector<std::uint32_t> m_pLongitudes;
  std::vector<AddressKey> m_pAddressKeys;

private:
  // Name texts are code page 932. The converter is opened at the first
  // lookup and kept, so that a search does not reopen it for every name.
  std::optional<platform::TextCodec> m_nameCodec;
};

}  // namespace kavrel
