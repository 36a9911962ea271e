// Entry of the kavrel console program on Windows: the arguments arrive as
// UTF-16, so any file name works for /in and /out whatever the code page.
#include <string>
#include <vector>

#include "program.h"

int wmain(int argc, wchar_t* argv[]) {
  return kavrel::console::RunProgram([argc, argv] {
    std::vector<std::u16string> arguments;
    arguments.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) {
      const std::wstring argument(argv[i]);
      arguments.emplace_back(argument.begin(), argument.end());
    }
    return arguments;
  });
}
