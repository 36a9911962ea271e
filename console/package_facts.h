// /package: what the library and the package in use are.
#pragma once

#include "console_output.h"
#include "handle_backend.h"

namespace kavrel::console {

// Writes, one per line with CR LF: the library version, the package's path,
// its counts of points, prefectures, cities and areas, and its attribution:
// "attribution (in the package, /ATTRIBUTION.txt):" and the text of that
// entry when the package carries one; else the file beside it (the
// package's name with "-attribution.txt" for ".bin"), or a line saying
// there is none.
// `backend` has been started.
void PrintPackageFacts(const HandleBackend& backend, CConsoleOutput& out);

}  // namespace kavrel::console
