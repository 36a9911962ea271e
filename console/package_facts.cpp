#include "package_facts.h"

#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>

#include "kavrel/format/package_attribution.h"
#include "kavrel/platform/files.h"
#include "kavrel/platform/text.h"

namespace kavrel::console {

void PrintPackageFacts(const HandleBackend& backend, CConsoleOutput& out) {
  const kavrel_facts facts = backend.Facts();
  // The credits inside the package are its own; a file beside it is read
  // only for a package that carries none.
  std::string attributionPath = format::kAttributionEntry;
  std::string attribution = backend.EmbeddedAttribution();
  if (attribution.empty()) attribution = format::AttributionBeside(backend.PackagePath(), attributionPath);
  std::ostringstream text;
  text << "library version: " << backend.LibraryVersion() << "\r\n"
       << "package: " << backend.PackagePath() << "\r\n"
       << "points: " << facts.points << "\r\n"
       << "prefectures: " << facts.prefectures << "\r\n"
       << "cities: " << facts.cities << "\r\n"
       << "areas: " << facts.areas << "\r\n";
  if (attribution.empty()) {
    text << "attribution: none beside the package (" << attributionPath << ")\r\n";
  } else {
    const bool inside = attributionPath == format::kAttributionEntry;
    text << "attribution (" << (inside ? "in the package, " : "") << attributionPath << "):\r\n" << attribution;
    if (attribution.back() != '\n') text << "\r\n";
  }
  // Paths are file system bytes and the attribution UTF-8; both are shown
  // in the console's codeset.
  out.Write(platform::Utf8ToUtf16(text.str()));
}

}  // namespace kavrel::console
