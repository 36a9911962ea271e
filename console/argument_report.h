// What the console says on standard error about a command line it cannot
// carry out as given.
#pragma once

#include <string>

#include "command_line.h"

namespace kavrel::console {

// The parts of `info` that nothing takes: unknown option words, values that
// no option takes, options left without a value, and values that do not
// read. One clause per argument, joined by "; "; empty when there are none.
std::string DescribeUnusedArguments(const CkavrelCommandLineInfo& info);

// True when `info` holds a whole /lat /lon pair or a whole /in /out pair.
bool AsksForWork(const CkavrelCommandLineInfo& info);

// Why `info` cannot be carried out: when it asks for no work, which half of
// the /lat /lon or /in /out pair is missing, or that neither was given;
// then DescribeUnusedArguments. One line, without "kavrel: ".
std::string DescribeArgumentError(const CkavrelCommandLineInfo& info);

}  // namespace kavrel::console
