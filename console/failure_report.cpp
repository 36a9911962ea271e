#include "failure_report.h"

#include <cstdio>

#include "kavrel/platform/console.h"
#include "kavrel/platform/files.h"
#include "kavrel_results.h"
#include "engine_binding.h"

namespace kavrel::console {

void ReportOnStandardError(std::string_view text) {
  std::string line = "kavrel: ";
  line += text;
  line += '\n';
  platform::WriteAll(platform::kStandardError, line);
}

std::string ResultCodeMeaning(std::int32_t code) {
  const char* meaning = nullptr;
  switch (code) {
    case kEngineNotLoadable: meaning = "the engine library could not be loaded"; break;
    case kEntryMissing: meaning = "the engine library lacks a function the console needs"; break;
    case kOutsideArea: meaning = "the point lies outside the covered area"; break;
    default: meaning = kavrel_result_meaning(code); break;
  }
  if (meaning == nullptr) return "result code " + std::to_string(code);
  return std::string(meaning) + " (" + std::to_string(code) + ")";
}

std::string Quoted(std::string_view path) {
  std::string text = "\"";
  text += path;
  text += '"';
  return text;
}

void ReportNoAddress(double latitude, double longitude, std::string_view why) {
  char point[64];
  std::snprintf(point, sizeof point, "%f,%f", latitude, longitude);
  std::string text = "no address for ";
  text += point;
  text += ": ";
  text += why;
  ReportOnStandardError(text);
}

void ReportStandardOutputLost(int error) {
  if (error == 0) {
    ReportOnStandardError("standard output is closed: what was meant for it was not written");
  } else {
    ReportOnStandardError("cannot write to standard output: " + platform::SystemErrorText(error));
  }
}

}  // namespace kavrel::console
