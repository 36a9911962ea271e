// A package's credits for its source data: the entry inside it, and the
// attribution file that the build and the install put beside it.
#pragma once

#include <string>

namespace kavrel::format {

// The entry that carries a package's credits for its source data (UTF-8).
inline constexpr const char* kAttributionEntry = "/ATTRIBUTION.txt";

// The text of the attribution file beside the package at `packagePath`
// (file system bytes): the package's path with "-attribution.txt" in place
// of a final ".bin", or appended to any other name. `attributionPath`
// receives that path. Empty when the file is missing or unreadable; the
// text is returned as its bytes are (UTF-8 for the files the build writes).
std::string AttributionBeside(const std::string& packagePath, std::string& attributionPath);

}  // namespace kavrel::format
