// The process-wide engine behind the exported functions: the open package,
// the search parameters and separator, the point list of the last search
// and the text of the last lookup.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "address_key.h"
#include "address_text.h"
#include "kavrel.h"
#include "kavrel/format/data_package.h"
#include "kavrel/platform/clock.h"
#include "names.h"
#include "point_list.h"
#include "search.h"
#include "search_index.h"

namespace kavrel {

// The package that a host naming none gets.
inline constexpr char16_t kDefaultDataFile[] = u"" KAVREL_DEFAULT_PACKAGE;

// The folders, in file system bytes, where a package named without a folder
// is looked for after the current folder, in order: the program's folder;
// with `besideLibrary` this library's folder and the bin folder beside it
// (../bin, where older installs put the package beside the programs); then
// where an install puts it: share/kavrel of the program's prefix, with
// `besideLibrary` that of the library's prefix, and the package folder of
// the prefix the build was configured for (none of these three on Windows,
// whose release is one folder). A folder that cannot be had is left out.
std::vector<std::string> PackageFolders(bool besideLibrary);

// Where a package named `name` is looked for, in order: the name as given,
// then (for a bare name only) the current folder and each of
// PackageFolders(besideLibrary).
std::vector<std::u16string> PackagePlaces(const std::u16string& name, bool besideLibrary);

// The first of PackagePlaces(name, besideLibrary) that exists; nothing when
// none does.
std::optional<std::u16string> FindDataFile(const std::u16string& name, bool besideLibrary = false);

class CkavrelcoreApp {
public:
  // The state at library load: nothing open, every number 0, texts empty.
  CkavrelcoreApp() = default;
  CkavrelcoreApp(const CkavrelcoreApp&) = delete;
  CkavrelcoreApp& operator=(const CkavrelcoreApp&) = delete;

  // --- the exports' operations ---

  // Finds the package by the search order (as given, current directory,
  // program directory, then the install's package folders of
  // PackageFolders(false); a name with '/' is not searched further) and opens
  // it. Null means "kavreldata.bin". Returns 0, KAVREL_E_NO_FILE, or Open's
  // code.
  std::int32_t Initialize(const char16_t* dataFile);
  // Closes the package; 0, or KAVREL_E_NOT_READY when not initialised. The
  // search parameters, the separator and the entries in memory stay.
  std::int32_t Cleanup();
  // Sets the search parameters to StepParameters(step, width); always 0.
  std::int32_t SetStep(std::int32_t step, std::int32_t width);
  // Null means empty. Always 0.
  std::int32_t SetSeparator(const char16_t* separator);
  // Loads every entry, sets the preload bit and indexes the package for
  // searching; 0, or KAVREL_E_NOT_READY when not initialised. When the index
  // cannot be built, searches run on the point blocks as without it.
  std::int32_t PreloadData();
  // The whole lookup: keys, search, names joined by the separator. 0 with the
  // text in Address() (valid until the next lookup; a steady stream of
  // lookups allocates nothing), or KAVREL_E_NOT_FOUND. When `elapsedMs` is
  // given it receives the milliseconds taken.
  std::int32_t ReverseGeocode(double latitude, double longitude, std::int32_t* elapsedMs);
  // The same without joining: `names` receives the three names, valid until
  // the next lookup, for the caller to join where it wants the text.
  std::int32_t FindAddress(double latitude, double longitude, std::int32_t* elapsedMs, NameTexts& names);
  // The same, copying the text into `address`.
  std::int32_t ReverseGeocode(double latitude, double longitude, std::u16string& address,
                              std::int32_t* elapsedMs);

  bool IsInitialized() const { return m_bInitialized; }
  bool IsPreloaded() const { return (m_nPreload & 1) != 0; }
  // The package path Initialize found; empty when not initialised.
  const std::u16string& DataFile() const { return m_strDataFile; }
  const std::u16string& Separator() const { return m_strSeparator; }
  const std::u16string& Address() const { return m_strAddress; }

  // --- the steps of a lookup ---

  // The parameters as set; a search runs with EffectiveParameters of them.
  const SearchParameters& Parameters() const { return m_parameters; }
  // Sets the parameters as given, including values SetStep never gives.
  void SetParameters(const SearchParameters& parameters) { m_parameters = parameters; }

  // Rebuilds the point list (Points()) from the point blocks of the bands
  // around latKey, with the effective band range. Always 1. Throws
  // std::bad_alloc when the arrays cannot be had.
  int LoadPoints(std::uint32_t latKey);
  const PointList& Points() const { return m_points; }
  // The name of `key` at `level` (0 P, 1 C, 2 S) in `name`; 0, or
  // KAVREL_E_DECOMPRESSOR when there is none (then `name` is empty).
  std::int32_t LookupName(int level, std::uint32_t key, std::u16string& name);
  // Ring search around the keys; 0 with the winner's keys in `found`, or
  // KAVREL_E_NOT_FOUND when no point qualifies. Preloaded, the index answers;
  // otherwise (or where the index cannot follow the rules) the point list is
  // loaded and searched. When the index found the winner and `indexPoint` is
  // given, it receives the winner's place there; otherwise it is left as it
  // was.
  std::int32_t FindNearestPoint(std::uint32_t latKey, std::uint32_t lonKey, AddressKey& found,
                                std::optional<BandPoint>* indexPoint = nullptr);

  // The index of the preloaded package, or null (not preloaded, or the index
  // could not be built). Valid until the next Initialize, Cleanup or
  // PreloadData.
  const SearchIndex* Index() const { return IsPreloaded() ? m_index.get() : nullptr; }
  // The open package, for looking at its entries or loading them ahead.
  const CDataPackage& Package() const { return m_package; }
  CDataPackage& Package() { return m_package; }

private:
  // The names of `keys`: from the index where it knows them, else read from
  // the name blocks into m_strNames.
  NameTexts LookupNames(const AddressKey& keys);

  std::int32_t m_bInitialized = 0;
  std::int32_t m_nPreload = 0;  // bit 0: PreloadData has run
  std::u16string m_strDataFile;
  std::u16string m_strSeparator;
  CDataPackage m_package;
  SearchParameters m_parameters;
  PointList m_points;
  std::unique_ptr<const SearchIndex> m_index;
  NameReader m_names;
  std::u16string m_strNames[3];  // names read from the blocks, reused
  std::u16string m_strAddress;   // the text of the last lookup
  platform::IntervalTimer m_timer;  // times the lookups that are asked to
};

}  // namespace kavrel
