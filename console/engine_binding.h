// The engine library, loaded at run time by file name (the program never
// links against it): an adapter to its C interface that writes nothing.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "kavrel/platform/library.h"
#include "kavrel.h"
#include "kavrelcore.h"

namespace kavrel::console {

// What the console asks for: the engine library by name (the platform makes
// its file name and finds it beside the program), the package by file name
// (the engine's own search finds it).
inline constexpr const char* kEngineLibrary = "kavrelcore";
inline constexpr const char16_t* kDataFileName = u"kavreldata.bin";

// Console codes of the binding; they never cross the library boundary.
inline constexpr std::int32_t kEngineNotLoadable = -100;
inline constexpr std::int32_t kEntryMissing = -101;
inline constexpr std::int32_t kOutsideArea = -102;

// Capacity, in UTF-16 units with the terminator, of the address buffer
// passed to ReverseGeocoding.
inline constexpr std::uint32_t kAddressCapacity = 512;

// The loaded library and the addresses of the exports the console uses. An
// entry is null while not bound. Releases the library when destroyed; the
// entries point into it, so it is neither copied nor moved.
class CEngineBinding {
public:
  CEngineBinding() = default;
  ~CEngineBinding() { UnloadEngine(); }
  CEngineBinding(const CEngineBinding&) = delete;
  CEngineBinding& operator=(const CEngineBinding&) = delete;

  // Loads the library by bare name, so that the program's RUNPATH and then
  // the system's search apply (any library held before is released first),
  // binds every entry by name (those of the thread-safe interface too) and
  // starts the engine with `dataFile`, "kavreldata.bin" unless given.
  // Returns 0 when the engine is ready; kEngineNotLoadable when the library
  // cannot be loaded; kEntryMissing when it has no Initialize; else
  // Initialize's own non-zero code, the library staying loaded until
  // UnloadEngine.
  std::int32_t LoadEngine(const std::u16string& dataFile = kDataFileName);

  // Looks up the address of a point given in decimal degrees. Returns 0 with
  // the text in `address`; kEntryMissing when IsJapanRegion or
  // ReverseGeocoding is not bound; kOutsideArea when the point is outside
  // the engine's area; else the non-zero code of ReverseGeocoding. On any
  // non-zero result `address` is left as it was.
  std::int32_t ReverseLookup(double latitude, double longitude, std::u16string& address) const;

  // The path of the package the engine found (also when opening it failed),
  // in file system bytes; empty when the engine has none or cannot say.
  std::string DataFilePath() const;

  // One line that says why LoadEngine returned `code`, naming the library
  // or the package and every place the package was looked for. A missing
  // library, a missing package, one that cannot be opened and a damaged one
  // are told apart.
  std::string DescribeLoadFailure(std::int32_t code) const;

  // Calls the engine's Cleanup when bound, releases the library and empties
  // every entry. Nothing happens when no library is loaded.
  void UnloadEngine();

  KavrelGetInfoFn m_pGetInfo = nullptr;  // bound, not called
  KavrelInitializeFn m_pInitialize = nullptr;
  KavrelCleanupFn m_pCleanup = nullptr;
  KavrelPreloadDataFn m_pPreloadData = nullptr;
  KavrelSetStepFn m_pSetStep = nullptr;
  KavrelSetSeparatorFn m_pSetSeparator = nullptr;
  KavrelReverseGeocodingFn m_pReverseGeocoding = nullptr;
  KavrelIsJapanRegionFn m_pIsJapanRegion = nullptr;
  KavrelGetDatafilenameFn m_pGetDatafilename = nullptr;  // for failure reports only

  // The thread-safe interface, for the options beyond the designed ones;
  // null when the library has none.
  struct ThreadSafeEntries {
    kavrel_version_fn version = nullptr;
    kavrel_result_text_fn resultText = nullptr;
    kavrel_open_fn open = nullptr;
    kavrel_close_fn close = nullptr;
    kavrel_facts_of_fn factsOf = nullptr;
    kavrel_lookup_fn lookup = nullptr;
    kavrel_lookup_many_fn lookupMany = nullptr;
    // True when every entry is bound.
    bool IsComplete() const {
      return version && resultText && open && close && factsOf && lookup && lookupMany;
    }
  };
  ThreadSafeEntries m_threadSafe;

private:
  platform::SharedLibrary m_module;
  std::string m_libraryError;  // the loader's reason when the library was not loaded
  std::u16string m_dataFile = kDataFileName;  // the package name Initialize was given
  // The address buffer handed to ReverseGeocoding (a lookup's scratch space).
  mutable std::array<kavrel_char, kAddressCapacity> m_addressBuffer{};
};

}  // namespace kavrel::console
