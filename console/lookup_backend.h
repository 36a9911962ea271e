// What the console looks coordinates up with: one interface over the engine,
// whether through its designed exports or through a thread-safe handle.
// The single lookup, the conversion and their tests see only this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "kavrel/output/line_writers.h"
#include "search_settings.h"

namespace kavrel::console {

using output::LineAnswer;

// What one lookup found.
struct PointAnswer {
  // 0 when found; else the backend's code for why not, which its Meaning
  // describes.
  std::int32_t result = 0;
  // The designed exports' answer: the address as the engine joined it with
  // the separator it was sent.
  std::u16string address;
  // The handle's answer: the names (owned by the backend, valid while it
  // lives) and the distance.
  LineAnswer names;

  bool Found() const { return result == 0; }
};

// An engine ready for lookups. Made by the driver, once per run, for one
// package.
class LookupBackend {
public:
  virtual ~LookupBackend() = default;

  // Loads the engine and opens the package `dataFile` (a bare name is
  // searched for as the engine searches), opening its file once. True when
  // ready; else false with one line for standard error in `why`.
  virtual bool Start(const std::u16string& dataFile, std::string& why) = 0;

  // The path of the open package in file system bytes; empty when unknown.
  virtual std::string PackagePath() const = 0;

  // Gets the search of `settings` ready; `wholePackage` says that the whole
  // package is about to be looked up (a conversion), so that a backend that
  // loads it up front (the designed run's) does so now. Returns 0, or a
  // BatchResult (kBatchStepRefused, kBatchSeparatorRefused,
  // kBatchPreloadRefused) with `why` set.
  virtual std::int32_t Prepare(const SearchSettings& settings, bool wholePackage, std::string& why) = 0;

  // How many points are best looked up together (1 or more): a conversion
  // asks for at most this many in one Lookup.
  virtual std::size_t BlockSize() const = 0;

  // How many threads a conversion may run on, all in all (1 or more). Above
  // 1, Lookup is called from that many threads at once.
  virtual std::int32_t Threads() const { return 1; }

  // Looks up points i in [0, count) at latitudes[i], longitudes[i] (decimal
  // degrees) into answers[i], on the calling thread. Every answer is
  // written, found or not.
  virtual void Lookup(const double* latitudes, const double* longitudes, std::size_t count,
                      PointAnswer* answers) = 0;

  // What a PointAnswer result of this backend means, for a report line.
  virtual std::string Meaning(std::int32_t result) const = 0;
};

}  // namespace kavrel::console
