// The driver: chooses one action from the command line and carries it out.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "console_output.h"
#include "engine_binding.h"
#include "lookup_backend.h"

namespace kavrel::console {

// Exit statuses of the program.
enum ExitStatus : int {
  kExitSuccess = 0,        // address printed, conversion finished, version or help shown
  kExitFailure = 1,        // a failure was reported, or a lookup printed no address
  kExitArgumentError = 2,  // the request was incomplete or held an unusable value (message 137)
};

// The program itself. Owns the engine binding, so the engine library stays
// loaded until the object is destroyed, and chooses the one lookup backend
// of a run.
class CkavrelApp {
public:
  // Parses `arguments` (arguments[0] is the program name), runs the chosen
  // action writing to `out`, and returns its ExitStatus, made a failure by
  // FinishStandardOutput when what was meant for `out` did not reach it.
  int StartInstance(const std::vector<std::u16string>& arguments, CConsoleOutput& out);

  // Runs the action `info` asks for: version, help, the package's facts,
  // else the argument error when neither the /lat /lon pair nor the /in
  // /out pair is whole or a value is unusable, else a single lookup when
  // latitude and longitude are both given, else a batch conversion.
  // Returns its ExitStatus.
  int RunCommand(const CkavrelCommandLineInfo& info, CConsoleOutput& out);

private:
  // The designed exports when every option given is a designed one, so
  // that such a run calls the engine exactly as designed; else a handle of
  // the thread-safe interface.
  std::unique_ptr<LookupBackend> ChooseBackend(const ExtendedOptions& options);
  int RunBatch(const CkavrelCommandLineInfo& info, LookupBackend& backend, CConsoleOutput& out);

  CEngineBinding m_engine;
};

// Ends the run's use of standard output, `out`: when a write to it was
// refused (status 2: it was closed at start) or failed, or, after it was
// written to, closing it fails (what the system held back is written then),
// says so on standard error and returns kExitFailure in place of a
// kExitSuccess `status`; else returns `status`. Standard output is closed
// afterwards whenever it was written to; a conversion that wrote its data
// there closes it itself and must not have written to `out`.
int FinishStandardOutput(CConsoleOutput& out, int status);

// Writes the version text: name and version, the copyright line, an empty line.
void PrintVersion(CConsoleOutput& out);

// Writes the version text, then the usage text naming the running program's
// file, then an empty line.
void PrintUsage(CConsoleOutput& out);

// Writes, after the usage text, a line for each option that it does not
// describe (" /word (value) : what it does", CR LF), then an empty line.
void PrintOptionsBeyondUsage(CConsoleOutput& out);

// The part of `path` after its last "/", or the whole path when it has none.
std::u16string GetFileNamePart(std::u16string_view path);

}  // namespace kavrel::console
