#include "kavrel/platform/diagnostic.h"

#include <string>

#include "kavrel/platform/console.h"

namespace kavrel::platform {

void ShowDiagnostic(std::string_view text) {
  std::string line(text);
  line += '\n';
  WriteAll(2, line);
}

}  // namespace kavrel::platform
