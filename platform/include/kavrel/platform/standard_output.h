// Standard output's descriptor number: whether the process was started with
// a standard output at all, and closing it with its errors seen.
#pragma once

namespace kavrel::platform {

// True when standard output is open. When it is closed, its descriptor
// number is taken by the null device, so that no file the program opens
// later gets that number and receives what was meant for the console.
// Call once at program start.
bool ClaimStandardOutput();

// Closes standard output, so that a write the system still held back fails
// now rather than unseen at exit. Returns 0, or the error number of the
// failure. Nothing may be written to standard output afterwards: its number
// is taken by the null device, as ClaimStandardOutput leaves it.
int CloseStandardOutput();

}  // namespace kavrel::platform
