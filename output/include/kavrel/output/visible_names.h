// Names from a package shown where a terminal or a line-based reader meets
// them: a control character in a name could start a new line or steer the
// terminal, so it is shown as '?'.
#pragma once

#include <string>
#include <string_view>

namespace kavrel::output {

// True for the control characters of UTF-16: C0 (U+0000 to U+001F), DEL
// (U+007F) and C1 (U+0080 to U+009F).
bool IsControlCharacter(char16_t c);

// `name` with every control character replaced by '?'.
std::u16string VisibleName(std::u16string_view name);

// Appends the UTF-8 `name` to `out` with each control character (one byte
// for C0 and DEL, two for C1) written as one '?'.
void AppendVisibleUtf8(std::string& out, std::string_view name);

// Replaces by '?' every control character of `address`, three names joined
// by `separator`, outside the separators: from the start, wherever
// `separator` (when not empty) occurs it is kept whole, so that a separator
// chosen with a control character (a tab) stays. A name that holds the
// separator itself cannot be told from it.
void MakeNamesVisible(std::u16string& address, std::u16string_view separator);

}  // namespace kavrel::output
