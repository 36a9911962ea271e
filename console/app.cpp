#include "app.h"

#include "batch.h"
#include "coordinate_text.h"
#include "kavrel/platform/files.h"
#include "kavrel/platform/text.h"
#include "message_format.h"
#include "resources/messages.h"
#include "resources/version_info.h"

namespace kavrel::console {

namespace {

constexpr std::u16string_view kLineEnd = u"\r\n";

// A coordinate text that would not have fitted a 255-byte buffer is not read.
constexpr std::size_t kMaxCoordinateBytes = 255;

double ReadCoordinateArgument(const std::u16string& text) {
  const std::string bytes = platform::Utf16ToConsole(text);
  if (bytes.size() > kMaxCoordinateBytes) return 0.0;
  return ParseCoordinateText(bytes.c_str());
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

int BatchFailureMessage(std::int32_t result) {
  switch (result) {
    case kBatchStepRefused:
    case kBatchSeparatorRefused: return kMsgParameterFailed;
    case kBatchPreloadRefused: return kMsgEngineInitFailed;
    case kBatchInputUnreadable: return kMsgInputUnreadable;
    case kBatchOutputUnwritable: return kMsgOutputUnwritable;
    default: return 0;
  }
}

}  // namespace

int CkavrelApp::StartInstance(const std::vector<std::u16string>& arguments, CConsoleOutput& out) {
  CkavrelCommandLineInfo info;
  ParseArguments(info, arguments);
  return RunCommand(info, out);
}

int CkavrelApp::RunCommand(const CkavrelCommandLineInfo& info, CConsoleOutput& out) {
  if (info.m_nAction == kActionVersion) {
    PrintVersion(out);
    return kExitSuccess;
  }
  if (info.m_nAction == kActionHelp) {
    PrintUsage(out);
    return kExitSuccess;
  }
  if (!info.m_strSeparator.empty()) m_appInfo.m_strSeparator = info.m_strSeparator;
  if (info.m_nStep > 0) m_appInfo.m_nStep = info.m_nStep;
  if (info.m_nWidth > 0) m_appInfo.m_nWidth = info.m_nWidth;

  if (!info.m_strLatitude.empty() && !info.m_strLongitude.empty()) {
    const double latitude = ReadCoordinateArgument(info.m_strLatitude);
    const double longitude = ReadCoordinateArgument(info.m_strLongitude);
    return m_appInfo.LookupSinglePoint(out, latitude, longitude) ? kExitSuccess : kExitFailure;
  }
  if (!info.m_strInFile.empty() && !info.m_strOutFile.empty()) return RunBatch(info, out);

  PrintVersion(out);
  out.Write(LoadMessage(kMsgArgumentError));
  out.Write(kLineEnd);
  out.Write(kLineEnd);
  return kExitArgumentError;
}

int CkavrelApp::RunBatch(const CkavrelCommandLineInfo& info, CConsoleOutput& out) {
  if (m_appInfo.m_engine.LoadEngine() != 0) {
    out.Write(LoadMessage(kMsgEngineInitFailed));
    return kExitFailure;
  }
  BatchJob job;
  job.inputPath = info.m_strInFile;
  job.outputPath = info.m_strOutFile;
  job.outputHandle = out.handle;
  job.separator = m_appInfo.m_strSeparator;
  job.step = m_appInfo.m_nStep;
  job.width = m_appInfo.m_nWidth;

  out.Write(LoadMessage(kMsgConversionStarted));
  out.Write(kLineEnd);
  const std::int32_t result = ConvertCsvFile(m_appInfo.m_engine, job);
  if (const int message = BatchFailureMessage(result); message != 0) {
    out.Write(LoadMessage(message));
    return kExitFailure;
  }
  out.Write(LoadMessage(kMsgConversionFinished));
  out.Write(kLineEnd);
  PrintStatistics(out, job);
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
  const std::u16string program = platform::ConsoleToUtf16(platform::ExecutablePath());
  out.Write(FormatMessageText(LoadMessage(kMsgUsage), {std::u16string_view(GetFileNamePart(program))}));
  out.Write(kLineEnd);
}

std::u16string GetFileNamePart(std::u16string_view path) {
  const std::size_t slash = path.rfind(static_cast<char16_t>(platform::kPathSeparator));
  return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace kavrel::console
