// Whether the process was started with a standard output at all.
#pragma once

namespace kavrel::platform {

// True when standard output is open. When it is closed, its descriptor
// number is taken by the null device, so that no file the program opens
// later gets that number and receives what was meant for the console.
// Call once at program start.
bool ClaimStandardOutput();

}  // namespace kavrel::platform
