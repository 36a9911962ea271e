// Numbers as the outputs write them, without a detour through stdio.
#pragma once

#include <string>

namespace kavrel::output {

// Appends `value` as "%f" prints it: fixed notation, six digits after the
// decimal point, rounded to nearest with ties to even on the exact binary
// value (so the digits are those of "%f" for every finite double). NaN and
// infinities come out as "nan" and "inf" (with a "-" when negative).
void AppendFixed6(std::string& bytes, double value);

// Appends a distance in metres with one decimal ("12.3"), finer than any
// answer of a town-level package. Same rules as AppendFixed6 otherwise.
void AppendMetres(std::string& bytes, double metres);

}  // namespace kavrel::output
