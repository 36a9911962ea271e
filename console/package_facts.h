// /package: what the library and the package in use are.
#pragma once

#include "console_output.h"
#include "handle_backend.h"

namespace kavrel::console {

// Writes, one per line with CR LF: the library version, the package's path,
// its counts of points, prefectures, cities and areas, and the attribution
// file beside it (the package's name with "-attribution.txt" for ".bin").
// `backend` has been started.
void PrintPackageFacts(const HandleBackend& backend, CConsoleOutput& out);

}  // namespace kavrel::console
