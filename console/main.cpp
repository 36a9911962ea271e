// Entry of the kavrel console program on POSIX systems: arguments are bytes
// in the locale's codeset.
#include <string>
#include <vector>

#include "kavrel/platform/text.h"
#include "program.h"

int main(int argc, char* argv[]) {
  return kavrel::console::RunProgram([argc, argv] {
    std::vector<std::u16string> arguments;
    arguments.reserve(static_cast<std::size_t>(argc));
    // File names are bytes: the ones the codeset cannot read are kept, so
    // that /in and /out name exactly the files given.
    for (int i = 0; i < argc; ++i) {
      arguments.push_back(kavrel::platform::ConsoleToUtf16KeepingBytes(argv[i]));
    }
    return arguments;
  });
}
