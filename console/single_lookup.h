// The single lookup of /lat and /lon: one answer written to standard output.
#pragma once

#include "command_line.h"
#include "console_output.h"
#include "lookup_backend.h"

namespace kavrel::console {

// Looks up one point with a started `backend` and writes its answer to
// `out`: sends `settings` (Prepare; message 136 when refused), looks up,
// then writes, without a line break, the address as the engine joined it
// when `options` are all designed; else the names joined by the separator,
// followed by "," and the distance for /dist, or for /json the point's JSON
// object and a line feed. A failed lookup writes nothing. True when an
// answer was written (a designed empty address is none). Each failure of the
// lookup also gets a line on standard error (ReportOnStandardError); a write
// to `out` that fails is left in `out` for FinishStandardOutput.
bool LookupSinglePoint(LookupBackend& backend, const SearchSettings& settings,
                       const ExtendedOptions& options, CConsoleOutput& out, double latitude,
                       double longitude);

}  // namespace kavrel::console
