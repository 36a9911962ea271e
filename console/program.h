// The console program from its start to its exit status, the same on every
// system; each system's entry point (main.cpp, wmain.cpp) hands over its
// arguments.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kavrel::console {

// Claims standard output, takes the character type from the environment,
// reads the arguments with `readArguments` (only then: reading them may open
// conversion tables, which must not take a closed standard output's place)
// and runs the program on them. Returns the exit status.
int RunProgram(const std::function<std::vector<std::u16string>()>& readArguments);

}  // namespace kavrel::console
