// The program's string table: every text the user sees, looked up by its
// identifier when it is written.
#pragma once

#include <string_view>

namespace kavrel::console {

// Identifiers of the string table entries.
enum MessageId : int {
  kMsgEngineInitFailed = 129,
  kMsgInputUnreadable = 134,
  kMsgOutputUnwritable = 135,
  kMsgParameterFailed = 136,
  kMsgArgumentError = 137,
  kMsgConversionStarted = 153,
  kMsgConversionFinished = 154,
  kMsgStatistics = 155,  // format: successes %d, failures %d, seconds %d, rate %.2f
  kMsgProgress = 156,    // format: percent %d, successes %d, failures %d
  kMsgUsage = 157,       // format: program file name %s
};

// The UTF-16 text of string table entry `id`; empty for an identifier the
// table does not hold. The text lives as long as the program.
std::u16string_view LoadMessage(int id);

}  // namespace kavrel::console
