#include "single_lookup.h"

#include <string>

#include "failure_report.h"
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
    ReportNoAddress(latitude, longitude, ResultCodeMeaning(found));
    return false;
  }
  if (out.Write(address) == 0 && out.writeError != 0) {
    ReportAddressNotWritten(out.writeError);
    return false;
  }
  return !address.empty();
}

}  // namespace kavrel::console
