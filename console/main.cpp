// Entry of the kavrel console program.
#include <clocale>
#include <exception>
#include <string>
#include <vector>

#include "app.h"
#include "console_output.h"
#include "kavrel/platform/console.h"
#include "kavrel/platform/standard_output.h"
#include "kavrel/platform/text.h"

int main(int argc, char* argv[]) {
  // Before any file is opened, or one of them could take the number of a
  // closed standard output and receive the console's text.
  const bool haveStandardOutput = kavrel::platform::ClaimStandardOutput();
  // Only the character type comes from the environment: numbers are read
  // and written with a decimal point whatever the user's locale.
  std::setlocale(LC_CTYPE, "");
  // A closed pipe on standard output must fail a write, not end the program.
  kavrel::platform::IgnoreBrokenPipe();
  try {
    std::vector<std::u16string> arguments;
    arguments.reserve(static_cast<std::size_t>(argc));
    // File names are bytes: the ones the codeset cannot read are kept, so
    // that /in and /out name exactly the files given.
    for (int i = 0; i < argc; ++i) {
      arguments.push_back(kavrel::platform::ConsoleToUtf16KeepingBytes(argv[i]));
    }

    kavrel::console::CConsoleOutput out{haveStandardOutput ? kavrel::platform::kStandardOutput
                                                           : kavrel::console::kInvalidHandle};
    kavrel::console::CkavrelApp app;
    return app.StartInstance(arguments, out);
  } catch (const std::exception&) {
    return kavrel::console::kExitFailure;
  }
}
