#include "app.h"

#include "argument_report.h"
#include "batch.h"
#include "coordinate_text.h"
#include "failure_report.h"
#include "failure_share.h"
#include "kavrel/platform/console.h"
#include "kavrel/platform/files.h"
#include "kavrel/platform/standard_output.h"
#include "kavrel/output/numbers.h"
#include "kavrel/platform/text.h"
#include "message_format.h"
#include "resources/messages.h"
#include "resources/version_info.h"
#include "designed_backend.h"
#include "handle_backend.h"
#include "package_facts.h"
#include "single_lookup.h"

namespace kavrel::console {

namespace {

constexpr std::u16string_view kLineEnd = u"\r\n";

// A coordinate text that would not have fitted a 255-byte buffer is not read.
constexpr std::size_t kMaxCoordinateBytes = 255;

void WarnNotWhole(const char* option, const std::u16string& text, const std::string& used) {
  ReportOnStandardError(std::string("warning: ") + option + " " +
                        Quoted(platform::Utf16ToConsoleKeepingBytes(text)) +
                        " does not read whole as a number; " + used + " is used");
}

// The value of /lat or /lon. Its designed reading stays (a text that does
// not read whole still gives what its start reads as), with a warning.
double ReadCoordinateArgument(const char* option, const std::u16string& text) {
  const std::string bytes = platform::Utf16ToConsoleKeepingBytes(text);
  const bool tooLong = bytes.size() > kMaxCoordinateBytes;
  const double value = tooLong ? 0.0 : ParseCoordinateText(bytes.c_str());
  if (!tooLong && NamesSouthOrWest(bytes.c_str())) {
    ReportOnStandardError(std::string("warning: ") + option + " " + Quoted(bytes) +
                          " names a place south of the equator or west of Greenwich, where no address lies");
  } else if (tooLong || !ReadsWhole(bytes.c_str())) {
    std::string used;
    output::AppendFixed6(used, value);
    WarnNotWhole(option, text, used);
  }
  return value;
}

void WarnIfNotCount(const char* option, const std::u16string& text, std::int32_t used) {
  if (!text.empty() && !IsWholeCount(text)) WarnNotWhole(option, text, std::to_string(used));
}

// Says once, before a lookup or a conversion, when addresses cannot come
// out right: a codeset without Japanese writes each character as "?".
void WarnIfCodesetLacksJapanese() {
  constexpr std::u16string_view kSample = u"東京都千代田区丸の内";
  if (platform::ConsoleToUtf16(platform::Utf16ToConsole(kSample)) == kSample) return;
  ReportOnStandardError("warning: the locale's codeset " + platform::ConsoleCodeset() +
                        " cannot write Japanese; every character of an address that it lacks"
                        " is written as \"?\" (choose a UTF-8 locale)");
}

void PrintStatistics(CConsoleOutput& out, const BatchJob& job) {
  const std::int64_t seconds = job.endTime - job.startTime;
  // The line count wraps like the 32-bit sum it has always been.
  const std::uint32_t lines =
      static_cast<std::uint32_t>(job.succeeded) + static_cast<std::uint32_t>(job.failed);
  const double rate = seconds != 0 ? static_cast<double>(lines) / static_cast<double>(seconds) : 0.0;
  const auto shownSeconds = static_cast<std::int32_t>(static_cast<std::uint32_t>(seconds));
  out.Write(FormatMessageText(LoadMessage(kMsgStatistics),
                              {job.succeeded, job.failed, shownSeconds, rate}));
}

// The package the backend is started with: /data, else "kavreldata.bin".
std::u16string DataFileOf(const ExtendedOptions& options) {
  return options.dataPath.empty() ? std::u16string(kDataFileName) : options.dataPath;
}

// Starts `backend`; on failure writes message 129 to `out` and says why on
// standard error.
bool StartBackend(LookupBackend& backend, const ExtendedOptions& options, CConsoleOutput& out) {
  std::string why;
  if (backend.Start(DataFileOf(options), why)) return true;
  out.Write(LoadMessage(kMsgEngineInitFailed));
  ReportOnStandardError(why);
  return false;
}

int BatchFailureMessage(std::int32_t result) {
  switch (result) {
    case kBatchStepRefused:
    case kBatchSeparatorRefused: return kMsgParameterFailed;
    case kBatchPreloadRefused: return kMsgEngineInitFailed;
    case kBatchInputUnreadable: return kMsgInputUnreadable;
    case kBatchOutputUnwritable: return kMsgOutputUnwritable;
    case kBatchColumnsUnusable: return kMsgArgumentError;
    default: return 0;
  }
}

}  // namespace

int CkavrelApp::StartInstance(const std::vector<std::u16string>& arguments, CConsoleOutput& out) {
  CkavrelCommandLineInfo info;
  ParseArguments(info, arguments);
  return FinishStandardOutput(out, RunCommand(info, out));
}

int FinishStandardOutput(CConsoleOutput& out, int status) {
  int lost = -1;  // error number of what was lost, 0 for a closed output; -1: nothing lost
  if (out.status == 2) {
    lost = 0;
  } else if (out.writeError != 0) {
    lost = out.writeError;
  } else if (out.used) {
    // A write the system held back can still fail when the output is closed.
    if (const int error = platform::CloseStandardOutput(); error != 0) lost = error;
  }
  if (lost < 0) return status;
  ReportStandardOutputLost(lost);
  return status == kExitSuccess ? kExitFailure : status;
}

int CkavrelApp::RunCommand(const CkavrelCommandLineInfo& info, CConsoleOutput& out) {
  if (info.m_nAction == kActionVersion) {
    PrintVersion(out);
    return kExitSuccess;
  }
  if (info.m_nAction == kActionHelp) {
    PrintUsage(out);
    if (info.m_bListAllOptions) PrintOptionsBeyondUsage(out);
    return kExitSuccess;
  }
  if (info.m_nAction == kActionPackage) {
    HandleBackend backend(m_engine, info.m_extended.threads);
    if (!StartBackend(backend, info.m_extended, out)) return kExitFailure;
    PrintPackageFacts(backend, out);
    return kExitSuccess;
  }
  const bool lookup = !info.m_strLatitude.empty() && !info.m_strLongitude.empty();
  if (!AsksForWork(info) || !info.m_badValues.empty()) {
    PrintVersion(out);
    out.Write(LoadMessage(kMsgArgumentError));
    out.Write(kLineEnd);
    out.Write(kLineEnd);
    ReportOnStandardError(DescribeArgumentError(info));
    return kExitArgumentError;
  }
  if (const std::string unused = DescribeUnusedArguments(info); !unused.empty()) {
    ReportOnStandardError("warning: ignored: " + unused);
  }
  WarnIfNotCount("/step", info.m_strStep, info.m_settings.step);
  WarnIfNotCount("/width", info.m_strWidth, info.m_settings.width);
  WarnIfCodesetLacksJapanese();
  const std::unique_ptr<LookupBackend> backend = ChooseBackend(info.m_extended);
  if (!lookup) return RunBatch(info, *backend, out);

  const double latitude = ReadCoordinateArgument("/lat", info.m_strLatitude);
  const double longitude = ReadCoordinateArgument("/lon", info.m_strLongitude);
  if (!StartBackend(*backend, info.m_extended, out) ||
      !LookupSinglePoint(*backend, info.m_settings, info.m_extended, out, latitude, longitude)) {
    return kExitFailure;
  }
  return kExitSuccess;
}

std::unique_ptr<LookupBackend> CkavrelApp::ChooseBackend(const ExtendedOptions& options) {
  if (!options.used) return std::make_unique<DesignedBackend>(m_engine);
  return std::make_unique<HandleBackend>(m_engine, options.threads);
}

int CkavrelApp::RunBatch(const CkavrelCommandLineInfo& info, LookupBackend& backend,
                         CConsoleOutput& console) {
  // Data on standard output keeps it for data: the console's text, progress
  // included, goes to standard error instead.
  CConsoleOutput messages{platform::kStandardError};
  const bool toStandardOutput = platform::Utf16ToConsoleKeepingBytes(info.m_strOutFile) == kStandardStream;
  CConsoleOutput& out = toStandardOutput ? messages : console;
  if (toStandardOutput && console.handle == kInvalidHandle) {
    // Its number is held by the null device, which would take the data unseen.
    out.Write(LoadMessage(kMsgOutputUnwritable));
    ReportOnStandardError("standard output is closed: there is nowhere to write the conversion to");
    return kExitFailure;
  }
  if (!StartBackend(backend, info.m_extended, out)) return kExitFailure;
  BatchJob job;
  job.inputPath = info.m_strInFile;
  job.outputPath = info.m_strOutFile;
  job.outputHandle = out.handle;
  job.streamProgressHandle = platform::kStandardError;

  out.Write(LoadMessage(kMsgConversionStarted));
  out.Write(kLineEnd);
  const std::int32_t result = ConvertCsvFile(backend, info.m_settings, info.m_extended, job);
  if (job.linesCutAtLoneCr > 0) {
    ReportOnStandardError(std::to_string(job.linesCutAtLoneCr) +
                          " line(s) held a carriage return without a line feed after it; what "
                          "followed it in the line was not looked at (lines end at a line feed)");
  }
  if (const int message = BatchFailureMessage(result); message != 0) {
    out.Write(LoadMessage(message));
    ReportOnStandardError(job.failure);
    return result == kBatchColumnsUnusable ? kExitArgumentError : kExitFailure;
  }
  out.Write(LoadMessage(kMsgConversionFinished));
  out.Write(kLineEnd);
  PrintStatistics(out, job);
  if (const std::optional<double> limit = info.m_extended.maxFailPercent) {
    const std::int64_t unanswered = std::int64_t{job.failed} - job.failedWithoutContent;
    const std::string verdict =
        FailureShareExceeded(unanswered, std::int64_t{job.succeeded} + unanswered, *limit);
    if (!verdict.empty()) {
      ReportOnStandardError(verdict);
      return kExitFailure;
    }
  }
  return kExitSuccess;
}

void PrintVersion(CConsoleOutput& out) {
  std::u16string title(version::kProductName);
  title += u" ";
  title += version::kVersionLabel;
  out.Write(title);
  out.Write(kLineEnd);
  out.Write(version::kCopyright);
  out.Write(kLineEnd);
  out.Write(kLineEnd);
}

void PrintUsage(CConsoleOutput& out) {
  PrintVersion(out);
  const std::u16string program = platform::PathText(platform::ExecutablePath());
  out.Write(FormatMessageText(LoadMessage(kMsgUsage), {std::u16string_view(GetFileNamePart(program))}));
  out.Write(kLineEnd);
}

void PrintOptionsBeyondUsage(CConsoleOutput& out) {
  std::u16string text = u"Options beyond these (a lone - after /in or /out is standard input or output):";
  text += kLineEnd;
  for (const OptionDescriptor& option : Options()) {
    if (option.help == nullptr) continue;
    text += u" /";
    text += option.word;
    if (option.valueName != nullptr) text += std::u16string(u" (") + option.valueName + u")";
    text += u" : ";
    text += option.help;
    text += kLineEnd;
  }
  text += kLineEnd;
  out.Write(text);
}

std::u16string GetFileNamePart(std::u16string_view path) {
  return std::u16string(platform::FileNamePart(path));
}

}  // namespace kavrel::console
