#include "single_lookup.h"

#include <cstdio>
#include <string>

#include "failure_report.h"
#include "kavrel/platform/files.h"
#include "resources/messages.h"

namespace kavrel::console {

bool StartEngine(CEngineBinding& engine, const std::u16string& dataFile, CConsoleOutput& out) {
  if (const std::int32_t loaded = engine.LoadEngine(dataFile); loaded != 0) {
    out.Write(LoadMessage(kMsgEngineInitFailed));
    ReportOnStandardError(engine.DescribeLoadFailure(loaded));
    return false;
  }
  return true;
}

bool LookupSinglePoint(CEngineBinding& engine, const SearchSettings& settings, CConsoleOutput& out,
                       double latitude, double longitude) {
  if (!StartEngine(engine, kDataFileName, out)) return false;
  if (std::string why; SendSettings(engine, settings, why) != SettingsRefusal::kNone) {
    out.Write(LoadMessage(kMsgParameterFailed));
    ReportOnStandardError(why);
    return false;
  }
  std::u16string address;
  if (const std::int32_t found = engine.ReverseLookup(latitude, longitude, address); found != 0) {
    char point[64];
    std::snprintf(point, sizeof point, "%f,%f", latitude, longitude);
    ReportOnStandardError(std::string("no address for ") + point + ": " + ResultCodeMeaning(found));
    return false;
  }
  if (out.Write(address) == 0 && out.writeError != 0) {
    ReportOnStandardError("cannot write the address to standard output: " +
                          platform::SystemErrorText(out.writeError));
    return false;
  }
  return !address.empty();
}

}  // namespace kavrel::console
