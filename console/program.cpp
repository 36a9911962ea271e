#include "program.h"

#include <clocale>
#include <exception>

#include "app.h"
#include "console_output.h"
#include "kavrel/platform/console.h"
#include "kavrel/platform/standard_output.h"

namespace kavrel::console {

int RunProgram(const std::function<std::vector<std::u16string>()>& readArguments) {
  // Before any file is opened, or one of them could take the number of a
  // closed standard output and receive the console's text.
  const bool haveStandardOutput = platform::ClaimStandardOutput();
  // Only the character type comes from the environment: numbers are read
  // and written with a decimal point whatever the user's locale.
  std::setlocale(LC_CTYPE, "");
  // A closed pipe on standard output must fail a write, not end the program.
  platform::IgnoreBrokenPipe();
  try {
    const std::vector<std::u16string> arguments = readArguments();
    CConsoleOutput out{haveStandardOutput ? platform::kStandardOutput : kInvalidHandle};
    CkavrelApp app;
    return app.StartInstance(arguments, out);
  } catch (const std::exception&) {
    return kExitFailure;
  }
}

}  // namespace kavrel::console
