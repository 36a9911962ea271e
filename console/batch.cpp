#include "batch.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "console_output.h"
#include "kavrel/platform/clock.h"
#include "kavrel/platform/files.h"
#include "kavrel/platform/text.h"
#include "line_reader.h"
#include "line_scan.h"
#include "message_format.h"
#include "resources/messages.h"

namespace kavrel::console {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Closes the output and tells whether everything buffered reached the file.
bool CloseChecked(FilePtr& file) {
  const bool flushed = std::fflush(file.get()) == 0 && !std::ferror(file.get());
  return (std::fclose(file.release()) == 0) && flushed;
}

bool WriteBytes(std::FILE* file, const char* bytes, std::size_t count) {
  return std::fwrite(bytes, 1, count, file) == count;
}

// Progress lines at each further tenth of the input, as a percentage of the
// size the input had at the start.
class ProgressReport {
public:
  ProgressReport(int handle, std::uint64_t size) : m_handle(handle), m_size(size) {}

  // At most one line per call: a jump over several tenths is caught up by
  // later calls one tenth at a time.
  void Update(std::uint64_t position, std::int32_t succeeded, std::int32_t failed) {
    if (m_size == 0) return;
    const double percent = static_cast<double>(position) / static_cast<double>(m_size) * 100.0;
    if (!(percent > m_threshold)) return;
    WriteAnsiText(m_handle, FormatMessageText(LoadMessage(kMsgProgress),
                                              {static_cast<int>(m_threshold), succeeded, failed}));
    WriteAnsiText(m_handle, u"\r\n");
    m_threshold += 10.0;
  }

private:
  int m_handle;
  std::uint64_t m_size;
  double m_threshold = 0.0;
};

std::int32_t SendParameters(const CEngineBinding& engine, const BatchJob& job) {
  if (engine.m_pSetStep == nullptr || job.step <= 0 || job.width <= 0) return kBatchStepRefused;
  engine.m_pSetStep(job.step, job.width);
  if (engine.m_pSetSeparator == nullptr || engine.m_pSetSeparator(job.separator.c_str()) != 0) {
    return kBatchSeparatorRefused;
  }
  if (engine.m_pPreloadData == nullptr || engine.m_pPreloadData() != 0) return kBatchPreloadRefused;
  return kBatchCompleted;
}

}  // namespace

std::int32_t ConvertCsvFile(const CEngineBinding& engine, BatchJob& job) {
  job.succeeded = 0;
  job.failed = 0;
  job.startTime = platform::CalendarSeconds();

  const std::int32_t parameters = SendParameters(engine, job);
  if (parameters != kBatchCompleted) return parameters;

  const std::string inputPath = platform::Utf16ToConsole(job.inputPath);
  const std::string outputPath = platform::Utf16ToConsole(job.outputPath);
  const std::uint64_t inputSize = platform::FileSize(inputPath).value_or(0);

  // A folder opens for reading here but cannot be read; refuse it before the
  // output file is made.
  if (!platform::FileExists(inputPath)) return kBatchInputUnreadable;
  FilePtr input(std::fopen(inputPath.c_str(), "rb"));
  if (!input) return kBatchInputUnreadable;
  FilePtr output(std::fopen(outputPath.c_str(), "wb"));
  if (!output) return kBatchOutputUnwritable;

  const platform::TextCodec toConsole("UTF-16LE", platform::ConsoleCodeset().c_str());
  LineReader reader(input.get());
  ProgressReport progress(job.outputHandle, inputSize);
  std::string line;
  std::string record;
  std::u16string address;

  while (!reader.AtEnd()) {
    if (!reader.ReadLine(line)) {
      CloseChecked(output);
      return kBatchInputUnreadable;
    }
    const CoordinatePair pair = ScanCoordinatePair(line.c_str());
    bool written = true;
    if (pair.IsComplete()) {
      address.clear();
      if (engine.ReverseLookup(pair.latitude, pair.longitude, address) == 0) {
        ++job.succeeded;
      } else {
        ++job.failed;
      }
      char numbers[128];
      const int length =
          std::snprintf(numbers, sizeof numbers, "%f,%f,", pair.latitude, pair.longitude);
      record.assign(numbers, static_cast<std::size_t>(length));
      record += toConsole.Convert(platform::Utf16Bytes(address));
      record += "\r\n";
      written = WriteBytes(output.get(), record.data(), record.size());
    } else if (const std::size_t length = std::strlen(line.c_str()); length != 0) {
      ++job.failed;
      written = WriteBytes(output.get(), line.data(), length);
    }
    if (!written) {
      CloseChecked(output);
      return kBatchOutputUnwritable;
    }
    progress.Update(reader.Position(), job.succeeded, job.failed);
  }

  input.reset();
  if (!CloseChecked(output)) return kBatchOutputUnwritable;
  job.endTime = platform::CalendarSeconds();
  return kBatchCompleted;
}

}  // namespace kavrel::console
