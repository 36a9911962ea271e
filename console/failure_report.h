// Lines on standard error that say what failed, where and why. They come on
// top of the string table messages on standard output, which stay as they
// are; so scripts that read standard output see no change.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kavrel::console {

// Writes "kavrel: ", `text` and a line feed to standard error as one write.
// `text` is bytes as they are (file names included); a failed write is
// ignored, there being nowhere left to tell.
void ReportOnStandardError(std::string_view text);

// What an engine result code (KAVREL_E_*) or a binding code (-100 to -102)
// means, with the code: "no point near the coordinate (-1005)". Unknown
// codes give "result code N".
std::string ResultCodeMeaning(std::int32_t code);

// `path` between double quotes, for naming a file in a report line.
std::string Quoted(std::string_view path);

// Reports that the single lookup of the point (shown as "%f,%f") found no
// address, `why` saying why.
void ReportNoAddress(double latitude, double longitude, std::string_view why);

// Reports that text meant for standard output did not reach it: error
// number `error` (the system's text is given), or 0 when standard output
// was closed when the program started.
void ReportStandardOutputLost(int error);

}  // namespace kavrel::console
