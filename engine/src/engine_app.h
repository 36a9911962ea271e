// The process-wide engine: the open package, the search parameters and the
// point list of the last search.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "address_key.h"
#include "kavrel/format/data_package.h"
#include "kavrel/platform/text.h"
#include "search_index.h"

namespace kavrel {

// The data package file by the engine's search order: the name as given,
// then (for a bare name only) the current folder and the program's folder.
// Nothing when none exists.
std::optional<std::u16string> FindDataFile(const std::u16string& name);

class CkavrelcoreApp {
public:
  // The state at library load: nothing open, every number 0, texts empty.
  CkavrelcoreApp() = default;
  CkavrelcoreApp(const CkavrelcoreApp&) = delete;
  CkavrelcoreApp& operator=(const CkavrelcoreApp&) = delete;

  // --- interface and state (engine_app.cpp) ---

  // Finds the package by the search order (as given, current directory,
  // program directory; a name with '/' is not searched further) and opens
  // it. Null means "kavreldata.bin". Returns 0, KAVREL_E_NO_FILE, or Open's code.
  std::int32_t Initialize(const char16_t* dataFile);
  // Closes the package; 0, or KAVREL_E_NOT_READY when not initialised.
  std::int32_t Cleanup();
  // Sets step, width and the band range; always 0.
  std::int32_t SetStep(std::int32_t step, std::int32_t width);
  // Null means empty. Always 0.
  std::int32_t SetSeparator(const char16_t* separator);
  // Loads every entry, sets the preload bit and indexes the package for
  // searching; 0, or KAVREL_E_NOT_READY when not initialised. When the index cannot be
  // built, searches run on the point blocks as without it.
  std::int32_t PreloadData();
  bool IsPreloaded() const { return (m_nPreload & 1) != 0; }
  // The index of the preloaded package, or null (not preloaded, the index
  // could not be built, or the package changed since). Valid until the next
  // Initialize, Cleanup or PreloadData.
  const SearchIndex* Index() const { return IsPreloaded() ? m_index.get() : nullptr; }

  // --- point and name blocks (point_list.cpp, names.cpp) ---

  // Rebuilds the point list from the point blocks of the bands around
  // latKey (m_nBandRange on each side, reset to 1 with step 100 and width
  // 300 when it is 0 or less). Always 1. Throws std::bad_alloc when the
  // arrays cannot be had.
  int LoadPoints(std::uint32_t latKey);
  // A band range below 1 (SetStep never called, or a step times width below
  // 30000) gives step 100, width 300 and band range 1; every search starts
  // with this.
  void ApplySearchDefaults();
  // Replaces the point arrays by `capacity` zeroed elements each; count 0.
  void AllocatePoints(std::int32_t capacity);
  // The name of `key` at `level` (0 P, 1 C, 2 S) in `name`; 0, or KAVREL_E_DECOMPRESSOR
  // when there is none (then `name` is empty).
  std::int32_t LookupName(int level, std::uint32_t key, std::u16string& name);

  // --- search (search.cpp) ---

  // Ring search around the keys; 0 with the winner's keys in `found`, or
  // KAVREL_E_NOT_FOUND when no point qualifies. Preloaded, the index answers; otherwise
  // (or where the index cannot follow the rules) the point list is loaded
  // and searched, in one pass where the list allows it. When the index found
  // the winner and `indexPoint` is given, it receives the winner's index
  // there; otherwise it is left as it was.
  std::int32_t FindNearestPoint(std::uint32_t latKey, std::uint32_t lonKey, AddressKey& found,
                                std::uint32_t* indexPoint = nullptr);
  // The whole lookup: keys, search, names joined by the separator. 0 with
  // the text in `address`, or KAVREL_E_NOT_FOUND. When `elapsedMs` is given it receives
  // the milliseconds taken (the search and the names, not any copy).
  std::int32_t ReverseGeocode(double latitude, double longitude, std::u16string& address,
                              std::int32_t* elapsedMs);
  // The same, leaving the text in the engine's own buffer (valid until the
  // next lookup), so that a steady stream of lookups allocates nothing.
  std::int32_t ReverseGeocode(double latitude, double longitude, std::int32_t* elapsedMs);
  const std::u16string& Address() const { return m_strAddress; }

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
  // Appends the name of `key` at `level` to `address`: from the index when
  // it knows it, else by LookupName.
  void AppendName(int level, std::uint32_t key, std::u16string& address);

  std::unique_ptr<const SearchIndex> m_index;
  std::u16string m_strAddress;  // the text of the last lookup
  std::u16string m_strName;     // LookupName's answer, reused
  // Name texts are code page 932. The converter is opened at the first
  // lookup and kept, so that a search does not reopen it for every name.
  std::optional<platform::TextCodec> m_nameCodec;
};

}  // namespace kavrel
