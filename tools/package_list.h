// Listing the entries of a package.
#pragma once

#include <ostream>
#include <string>

namespace kavrel::pack {

// Writes one line per index entry to `out`: name (in UTF-8), method
// ("stored", "deflate" or "method N"), stored size and offset from the data
// start, then a total line "N entries, S bytes stored, F bytes in the file".
// Inconsistencies of the header or index go to `errors`, one line each,
// prefixed with `path`. Returns 0, or 1 when its index is inconsistent
// (what could be read is still listed). Throws PackError when the file is
// missing, a folder or cannot be read.
int ListPackage(const std::string& path, std::ostream& out, std::ostream& errors);

}  // namespace kavrel::pack
