// Diagnostic messages that must reach a person but must not stop the caller.
#pragma once

#include <string_view>

namespace kavrel::platform {

// Writes `text` and a line feed to standard error as one write; returns at
// once (this stands in for a modal message box).
void ShowDiagnostic(std::string_view text);

}  // namespace kavrel::platform
