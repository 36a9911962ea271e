// The lookup backend of a run with options beyond the designed ones: a
// handle of the library's thread-safe interface (kavrel_open), looked up
// in blocks on several threads.
#pragma once

#include <cstdint>
#include <string>

#include "engine_binding.h"
#include "lookup_backend.h"

namespace kavrel::console {

class HandleBackend : public LookupBackend {
public:
  // `engine` (not owned) must outlive the backend. `threads`: the threads
  // of a conversion, all in all; 0 takes one per core; at most
  // KAVREL_MAX_THREADS are used.
  HandleBackend(CEngineBinding& engine, std::int32_t threads);
  // Closes the handle.
  ~HandleBackend() override;
  HandleBackend(const HandleBackend&) = delete;
  HandleBackend& operator=(const HandleBackend&) = delete;

  // Binds the library without starting its designed engine, finds the
  // package as the engine would (PackageCandidates over the library's own
  // PackageFolders) and opens it with
  // kavrel_open. `why` tells a missing library or interface, a package
  // found nowhere (every place looked in) and kavrel_open's refusal.
  bool Start(const std::u16string& dataFile, std::string& why) override;
  std::string PackagePath() const override { return m_path; }
  // Takes the query of `settings` (QueryOf); refuses nothing.
  std::int32_t Prepare(const SearchSettings& settings, bool wholePackage, std::string& why) override;
  // More points than a conversion's block holds: one call per block.
  std::size_t BlockSize() const override { return 16384; }
  std::int32_t Threads() const override { return m_threads; }
  // kavrel_lookup_many over all the points on the calling thread; a call
  // refused as a whole gives every point its code. Any number of threads
  // may call it at once.
  void Lookup(const double* latitudes, const double* longitudes, std::size_t count,
              PointAnswer* answers) override;
  // kavrel_result_text.
  std::string Meaning(std::int32_t result) const override;

  // The counts of the open package. Only after a successful Start.
  kavrel_facts Facts() const;
  // The credits the package carries inside it (its attribution entry), as
  // their bytes are; empty when it holds none or the library cannot say.
  // Only after a successful Start.
  std::string EmbeddedAttribution() const;
  // The library's version text. Only after a successful Start.
  std::string LibraryVersion() const;

private:
  CEngineBinding& m_engine;
  const ThreadSafeEntries* m_entries = nullptr;
  kavrel_geocoder* m_handle = nullptr;
  std::string m_path;
  kavrel_query m_query{};
  std::int32_t m_threads;
};

}  // namespace kavrel::console
