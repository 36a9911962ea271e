#include "kavrel/format/package_attribution.h"

#include <cstdio>
#include <string_view>

#include "kavrel/platform/files.h"

namespace kavrel::format {

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

}  // namespace kavrel::format
