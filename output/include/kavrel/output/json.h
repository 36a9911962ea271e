// The one JSON string writer of every output.
#pragma once

#include <string>
#include <string_view>

namespace kavrel::output {

// Appends `text` as a JSON string, quotes included: '"', '\' and the control
// characters below U+0020 escaped ("\u000a"), every other byte as it is.
// `text` is meant to be UTF-8: bytes that are not valid UTF-8 are copied
// unchanged, so the caller vouches for the encoding (the library's names are
// UTF-8).
void AppendJsonString(std::string& out, std::string_view text);

// Appends `text` escaped as AppendJsonString escapes it, without the quotes:
// for a string written in parts.
void AppendJsonEscaped(std::string& out, std::string_view text);

}  // namespace kavrel::output
