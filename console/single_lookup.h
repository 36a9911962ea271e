// The single lookup of /lat and /lon: one address written to standard output.
#pragma once

#include "console_output.h"
#include "engine_binding.h"
#include "search_settings.h"

namespace kavrel::console {

// Loads the engine with the package `dataFile` (LoadEngine). On failure
// writes message 129 to `out`, says why on standard error and returns false.
bool StartEngine(CEngineBinding& engine, const std::u16string& dataFile, CConsoleOutput& out);

// Looks up one point and writes its address to `out`, without a line break:
// loads the engine (message 129 on failure), sends `settings` (message 136
// when SendSettings refuses), then looks up. A failed lookup writes nothing.
// True when an address was written. Each failure also gets a line on
// standard error (ReportOnStandardError), a write to standard output that
// fails included.
bool LookupSinglePoint(CEngineBinding& engine, const SearchSettings& settings, CConsoleOutput& out,
                       double latitude, double longitude);

}  // namespace kavrel::console
