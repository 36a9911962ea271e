// The engine library, loaded at run time by file name (the program never
// links against it): an adapter to its C interface that writes nothing.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>
#include <string_view>

#include "kavrel/platform/library.h"
#include "kavrel.h"
#include "kavrelcore.h"

namespace kavrel::console {

// What the console asks for: the engine library by name (the platform makes
// its file name and finds it beside the program), the package by file name
// (the engine's own search finds it).
inline constexpr const char* kEngineLibrary = "kavrelcore";
inline constexpr const char16_t* kDataFileName = u"" KAVREL_DEFAULT_PACKAGE;

// Console codes of the binding; they never cross the library boundary.
inline constexpr std::int32_t kEngineNotLoadable = -100;
inline constexpr std::int32_t kEntryMissing = -101;
inline constexpr std::int32_t kOutsideArea = -102;

// `text` as the library takes texts: kavrel_char is char16_t on POSIX and
// wchar_t on Windows, both UTF-16 code units.
inline std::basic_string<kavrel_char> LibraryText(std::u16string_view text) {
  return std::basic_string<kavrel_char>(text.begin(), text.end());
}

// Capacity, in UTF-16 units with the terminator, of the address buffer
// passed to ReverseGeocoding.
inline constexpr std::uint32_t kAddressCapacity = 512;

// The thread-safe interface of the loaded library, for the options beyond
// the designed ones.
struct ThreadSafeEntries {
  kavrel_version_fn version = nullptr;
  kavrel_result_text_fn resultText = nullptr;
  kavrel_open_fn open = nullptr;
  kavrel_close_fn close = nullptr;
  kavrel_facts_of_fn factsOf = nullptr;
  kavrel_lookup_many_fn lookupMany = nullptr;
  // Optional: the console does without them where a library lacks them.
  kavrel_attribution_fn attribution = nullptr;
  kavrel_package_folder_fn packageFolder = nullptr;
  // True when every entry but the optional ones is bound.
  bool IsComplete() const { return version && resultText && open && close && factsOf && lookupMany; }
};

// The loaded library and the addresses of the exports the console uses,
// bound by name and kept private: callers go through the methods, and tests
// stand in for a whole lookup backend rather than for single entries.
// Releases the library when destroyed; the entries point into it, so it is
// neither copied nor moved.
class CEngineBinding {
public:
  CEngineBinding() = default;
  ~CEngineBinding() { UnloadEngine(); }
  CEngineBinding(const CEngineBinding&) = delete;
  CEngineBinding& operator=(const CEngineBinding&) = delete;

  // Loads the library by bare name, so that the program's RUNPATH and then
  // the system's search apply (any library held before is released first),
  // and binds every entry by name, those of the thread-safe interface too.
  // Starts nothing. Returns 0, or kEngineNotLoadable when the library cannot
  // be loaded.
  std::int32_t BindLibrary();

  // BindLibrary, then starts the designed engine with `dataFile`,
  // "kavreldata.bin" unless given. Returns 0 when the engine is ready;
  // kEngineNotLoadable when the library cannot be loaded; kEntryMissing when
  // it has no Initialize; else Initialize's own non-zero code, the library
  // staying loaded until UnloadEngine.
  std::int32_t LoadEngine(const std::u16string& dataFile = kDataFileName);

  // The designed parameter calls: SetStep(step, width), SetSeparator and
  // PreloadData. Each returns kEntryMissing when its entry is not bound,
  // else the engine's result.
  std::int32_t SetStep(std::int32_t step, std::int32_t width) const;
  std::int32_t SetSeparator(const std::u16string& separator) const;
  std::int32_t PreloadData() const;

  // Looks up the address of a point given in decimal degrees. Returns 0 with
  // the text in `address`; kEntryMissing when IsJapanRegion or
  // ReverseGeocoding is not bound; kOutsideArea when the point is outside
  // the engine's area; else the non-zero code of ReverseGeocoding. On any
  // non-zero result `address` is left as it was.
  std::int32_t ReverseLookup(double latitude, double longitude, std::u16string& address) const;

  // The path of the package the engine found (also when opening it failed),
  // in file system bytes; empty when the engine has none or cannot say.
  std::string DataFilePath() const;

  // The folders where the loaded library's Initialize looks for a package
  // named without a folder, after the current folder (kavrel_package_folder),
  // in its order; empty when no library is loaded or it cannot say.
  std::vector<std::string> PackageFolders() const;

  // The thread-safe interface, or null when the library lacks any of it.
  // The entries stay valid until UnloadEngine.
  const ThreadSafeEntries* ThreadSafe() const;

  // One line that says why LoadEngine returned `code`, naming the library
  // or the package and every place the package was looked for. A missing
  // library, a missing package, one that cannot be opened and a damaged one
  // are told apart.
  std::string DescribeLoadFailure(std::int32_t code) const;

  // Calls the engine's Cleanup when bound, releases the library and empties
  // every entry. Nothing happens when no library is loaded.
  void UnloadEngine();

private:
  // The designed exports; each null while not bound.
  struct DesignedEntries {
    KavrelGetInfoFn getInfo = nullptr;  // bound, not called
    KavrelInitializeFn initialize = nullptr;
    KavrelCleanupFn cleanup = nullptr;
    KavrelPreloadDataFn preloadData = nullptr;
    KavrelSetStepFn setStep = nullptr;
    KavrelSetSeparatorFn setSeparator = nullptr;
    KavrelReverseGeocodingFn reverseGeocoding = nullptr;
    KavrelIsJapanRegionFn isJapanRegion = nullptr;
    KavrelGetDatafilenameFn getDatafilename = nullptr;  // for failure reports only
  };

  DesignedEntries m_designed;
  ThreadSafeEntries m_threadSafe;
  platform::SharedLibrary m_module;
  std::string m_libraryError;  // the loader's reason when the library was not loaded
  std::u16string m_dataFile = kDataFileName;  // the package name Initialize was given
  // The address buffer handed to ReverseGeocoding (a lookup's scratch space).
  mutable std::array<kavrel_char, kAddressCapacity> m_addressBuffer{};
};

// Where the engine looks for the package `dataFile`, in its order: a name
// with a folder in it only where it says; a bare name as given (the current
// folder), then in each of `folders` (CEngineBinding::PackageFolders).
std::vector<std::string> PackageCandidates(const std::u16string& dataFile, const std::vector<std::string>& folders);

// Why the package at `path` cannot be opened for reading, as the system
// says (a pipe or a device is told as not being a file).
std::string PackageOpenFailure(const std::string& path);

// The report line of a package `dataFile` that was not found in `folders`:
// the first of its PackageCandidates that is there but cannot be opened (a
// loop of symbolic links, no permission), with the system's reason; else "no
// data package" and the places looked at.
std::string DescribeMissingPackage(const std::u16string& dataFile, const std::vector<std::string>& folders);

// The report line of a package at `path` whose header or index is not valid.
std::string DescribeDamagedPackage(const std::string& path);

// The places PackageCandidates names, quoted and joined for a report line
// (the current folder named in full).
std::string PackagePlaces(const std::u16string& dataFile, const std::vector<std::string>& folders);

}  // namespace kavrel::console
