// The runs that use the options beyond the designed ones: the package opened
// through the library's thread-safe interface, then a single lookup, a
// conversion in several threads, or the facts of the package.
#pragma once

#include <cstdint>
#include <string>

#include "batch.h"
#include "command_line.h"
#include "console_output.h"
#include "engine_binding.h"

namespace kavrel::console {

// A package opened with kavrel_open; closed with kavrel_close when destroyed.
class OpenPackage {
public:
  OpenPackage() = default;
  ~OpenPackage();
  OpenPackage(const OpenPackage&) = delete;
  OpenPackage& operator=(const OpenPackage&) = delete;

  // Opens the package that `engine` (started by LoadEngine) found, by its
  // path. Returns true when open; else false with a line for standard
  // error in `why` (no thread-safe interface, or kavrel_open's reason).
  bool Open(const CEngineBinding& engine, std::string& why);

  const kavrel_geocoder* Handle() const { return m_handle; }
  const std::string& Path() const { return m_path; }

private:
  kavrel_close_fn m_close = nullptr;
  kavrel_geocoder* m_handle = nullptr;
  std::string m_path;
};

// The single lookup with the options: loads the engine with the package of
// /data (message 129 on failure, as designed), opens it, looks the point up
// with the query of `info` and writes the address joined by the separator,
// followed by "," and the distance for /dist; for /json the JSON object of
// the point and a line feed instead. Failures get a line on standard error.
// True when an answer was written.
bool LookupWithOptions(CEngineBinding& engine, const CkavrelCommandLineInfo& info,
                       CConsoleOutput& out, double latitude, double longitude);

// The conversion with the options, the engine loaded with the package of
// /data: opens the package (kBatchPreloadRefused when that fails) and runs
// ConvertLines with the format of `options`, looking blocks of lines up in
// options.threads threads (0: one per core; at most 256). The output does not depend on
// the number of threads.
std::int32_t ConvertWithOptions(const CEngineBinding& engine, const SearchSettings& settings,
                                const ExtendedOptions& options, BatchJob& job);

// /package: loads the engine with the package of /data and writes, one per
// line with CR LF: the library version, the package's path, its counts of
// points, prefectures, cities and areas, and the attribution file beside it
// (the package's name with "-attribution.txt" for ".bin"). Returns the exit
// status: 0, or 1 after message 129 and a line on standard error.
int PrintPackageFacts(CEngineBinding& engine, const ExtendedOptions& options, CConsoleOutput& out);

// The package name LoadEngine is to be given: /data, else "kavreldata.bin".
std::u16string DataFileOf(const ExtendedOptions& options);

}  // namespace kavrel::console
