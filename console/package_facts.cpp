#include "package_facts.h"

#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>

#include "kavrel/platform/files.h"
#include "kavrel/platform/text.h"

namespace kavrel::console {

namespace {

// The attribution file the build puts beside a package.
std::string AttributionBeside(const std::string& packagePath, std::string& attributionPath) {
  const std::string_view suffix = ".bin";
  const bool bin = packagePath.size() > suffix.size() &&
                   packagePath.compare(packagePath.size() - suffix.size(), suffix.size(), suffix) == 0;
  attributionPath = (bin ? packagePath.substr(0, packagePath.size() - suffix.size()) : packagePath) +
                    "-attribution.txt";
  std::string text;
  if (const platform::FileStream file = platform::OpenStream(attributionPath, platform::StreamMode::kRead)) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) text.append(buffer, n);
  }
  return text;
}

}  // namespace

void PrintPackageFacts(const HandleBackend& backend, CConsoleOutput& out) {
  const kavrel_facts facts = backend.Facts();
  std::string attributionPath;
  const std::string attribution = AttributionBeside(backend.PackagePath(), attributionPath);
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
    text << "attribution (" << attributionPath << "):\r\n" << attribution;
    if (attribution.back() != '\n') text << "\r\n";
  }
  // Paths are file system bytes and the attribution UTF-8; both are shown
  // in the console's codeset.
  out.Write(platform::Utf8ToUtf16(text.str()));
}

}  // namespace kavrel::console
