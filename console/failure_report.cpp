#include "failure_report.h"

#include <cstdio>

#include "kavrel/platform/console.h"
#include "kavrel/platform/files.h"
#include "kavrelcore.h"
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
    case KAVREL_E_ALREADY_OPEN: meaning = "a data package is open already"; break;
    case KAVREL_E_ARGUMENT: meaning = "an argument was refused"; break;
    case KAVREL_E_NOT_READY: meaning = "the engine is not initialised"; break;
    case KAVREL_E_NO_FILE: meaning = "the data package was not found or could not be opened"; break;
    case KAVREL_E_FORMAT: meaning = "the data package's header or index is not valid"; break;
    case KAVREL_E_NOT_FOUND: meaning = "no address point near the coordinate"; break;
    case KAVREL_E_DECOMPRESSOR: meaning = "the decompressor could not start"; break;
    case KAVREL_E_INFLATE: meaning = "an entry of the data package is damaged"; break;
    default: return "result code " + std::to_string(code);
  }
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

void ReportAddressNotWritten(int error) {
  ReportOnStandardError("cannot write the address to standard output: " +
                        platform::SystemErrorText(error));
}

}  // namespace kavrel::console
