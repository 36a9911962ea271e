#include "single_lookup.h"

#include <string>

#include "batch.h"
#include "failure_report.h"
#include "kavrel/output/line_writers.h"
#include "kavrel/output/numbers.h"
#include "kavrel/platform/console.h"
#include "kavrel/platform/text.h"
#include "resources/messages.h"

namespace kavrel::console {

namespace {

// The bytes of a found answer as the options ask for them.
std::string AnswerText(const PointAnswer& answer, const SearchSettings& settings,
                       const ExtendedOptions& options, double latitude, double longitude) {
  if (!options.used) return platform::Utf16ToConsole(answer.address);
  std::string bytes;
  if (options.format == OutputFormat::kJson) {
    // JSON is UTF-8 whatever the locale, so it is written as bytes.
    output::LineFormatter(OutputFormat::kJson, {}, options.distance)
        .Append(bytes, "\n", {latitude, longitude}, answer.names, false);
    return bytes;
  }
  std::u16string address = output::JoinedAddress(answer.names, settings.separator);
  if (options.distance) {
    std::string metres = ",";
    output::AppendMetres(metres, answer.names.distance);
    address += platform::Utf8ToUtf16(metres);
  }
  return platform::Utf16ToConsole(address);
}

}  // namespace

bool LookupSinglePoint(LookupBackend& backend, const SearchSettings& settings,
                       const ExtendedOptions& options, CConsoleOutput& out, double latitude,
                       double longitude) {
  if (std::string why; backend.Prepare(settings, false, why) != kBatchCompleted) {
    out.Write(LoadMessage(kMsgParameterFailed));
    ReportOnStandardError(why);
    return false;
  }
  PointAnswer answer;
  backend.Lookup(&latitude, &longitude, 1, &answer);
  if (!answer.Found()) {
    ReportNoAddress(latitude, longitude, backend.Meaning(answer.result));
    return false;
  }
  const std::string bytes = AnswerText(answer, settings, options, latitude, longitude);
  // A failed write is reported once the run ends (FinishStandardOutput).
  if (!out.WriteBytes(bytes)) return false;
  // The designed lookup counts an empty address as none.
  return options.used || !bytes.empty();
}

}  // namespace kavrel::console
