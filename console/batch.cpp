#include "batch.h"

#include <algorithm>
#include <limits>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "console_output.h"
#include "failure_report.h"
#include "kavrel/output/line_writers.h"
#include "kavrel/platform/clock.h"
#include "kavrel/platform/files.h"
#include "kavrel/platform/text.h"
#include "line_reader.h"
#include "line_scan.h"
#include "message_format.h"
#include "record_writer.h"
#include "resources/messages.h"

namespace kavrel::console {

using output::LineFormatter;

namespace {

// Closes the output and tells whether everything buffered reached the file;
// when not, `error` receives the error number.
bool CloseChecked(platform::FileStream& file, RecordWriter& writer, int& error) {
  errno = 0;
  bool written = writer.Flush() && std::fflush(file.get()) == 0 && !std::ferror(file.get());
  if (!written) error = errno;
  if (std::fclose(file.release()) != 0 && written) {
    written = false;
    error = errno;
  }
  return written;
}

std::string FileFailure(const char* what, const std::string& path, int error) {
  return std::string(what) + " " + Quoted(path) + ": " + platform::SystemErrorText(error);
}

// True when a carriage return not followed by a line feed, before the first
// NUL, has bytes after it other than line ends: the token scan stops at it,
// so those bytes are never looked at. Called for every line, most of which
// hold no carriage return but the one before their line feed: one search
// settles those.
bool LoneCrCutsLine(const std::string& line) {
  for (std::size_t cr = line.find('\r'); cr != std::string::npos; cr = line.find('\r', cr + 1)) {
    if (cr + 1 < line.size() && line[cr + 1] == '\n') continue;
    const std::size_t scanned = std::min(line.find('\0'), line.size());
    for (std::size_t i = cr + 1; i < scanned; ++i) {
      if (line[i] != '\r' && line[i] != '\n') return true;
    }
    return false;
  }
  return false;
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

// Why the conversion must not write to `outputPath`, or empty when it may:
// the output would replace the input or the package the engine reads.
std::string OutputRefusal(const std::string& outputPath, const std::string& inputPath,
                          const std::string& packagePath) {
  const std::optional<platform::FileIdentity> output = platform::IdentifyFile(outputPath);
  if (!output) return {};
  if (output == platform::IdentifyFile(inputPath)) {
    return "the output file " + Quoted(outputPath) + " is the input file " + Quoted(inputPath) +
           ": writing it would destroy the input; nothing was written";
  }
  if (!packagePath.empty() && output == platform::IdentifyFile(packagePath)) {
    return "the output file " + Quoted(outputPath) + " is the data package " + Quoted(packagePath) +
           " in use; nothing was written";
  }
  return {};
}

// One input line on its way to the output.
struct BatchLine {
  std::string text;               // as read, its line end included
  CoordinatePair pair;            // what the scan found in it
  std::uint64_t endPosition = 0;  // the read position after it, for the progress
};

// Answers blocks of lines through the backend and writes them: as designed
// records of the engine's address, or through a LineFormatter.
class LineConverter {
public:
  // `formatter` null: the designed records.
  LineConverter(LookupBackend& backend, const LineFormatter* formatter)
      : m_backend(backend), m_formatter(formatter) {}

  std::size_t BlockSize() const { return std::max<std::size_t>(m_backend.BlockSize(), 1); }

  // Answers lines[0..count) that hold a complete pair.
  void Answer(const std::vector<BatchLine>& lines, std::size_t count) {
    m_latitudes.clear();
    m_longitudes.clear();
    m_rowOf.assign(count, kNoRow);
    for (std::size_t i = 0; i < count; ++i) {
      if (!lines[i].pair.IsComplete()) continue;
      m_rowOf[i] = m_latitudes.size();
      m_latitudes.push_back(lines[i].pair.latitude);
      m_longitudes.push_back(lines[i].pair.longitude);
    }
    m_answers.resize(m_latitudes.size());
    m_backend.Lookup(m_latitudes.data(), m_longitudes.data(), m_latitudes.size(), m_answers.data());
  }

  // Appends the output of lines[index], after Answer, to `writer`; `found`
  // receives whether the line was answered. False when the writer failed.
  bool Write(RecordWriter& writer, const std::vector<BatchLine>& lines, std::size_t index, bool& found) {
    const BatchLine& line = lines[index];
    const std::size_t row = m_rowOf[index];
    const PointAnswer* answer = row == kNoRow ? nullptr : &m_answers[row];
    found = answer != nullptr && answer->Found();
    if (m_formatter != nullptr) {
      m_text.clear();
      m_formatter->Append(m_text, line.text, line.pair, found ? answer->names : LineAnswer{}, m_first);
      m_first = false;
      return writer.WriteBytes(m_text);
    }
    if (answer != nullptr) return writer.WriteRecord(line.pair.latitude, line.pair.longitude, answer->address);
    std::string_view lineEnd;
    const std::string_view copied = output::CopiedLine(line.text, lineEnd);
    return writer.WriteBytes(copied) && writer.WriteBytes(lineEnd);
  }

private:
  static constexpr std::size_t kNoRow = std::numeric_limits<std::size_t>::max();

  LookupBackend& m_backend;
  const LineFormatter* m_formatter;
  bool m_first = true;
  std::vector<double> m_latitudes;
  std::vector<double> m_longitudes;
  std::vector<std::size_t> m_rowOf;  // for each line of the block, its row, or kNoRow
  std::vector<PointAnswer> m_answers;
  std::string m_text;
};

void StartBatchJob(BatchJob& job) {
  job.succeeded = 0;
  job.failed = 0;
  job.linesCutAtLoneCr = 0;
  job.failure.clear();
  job.startTime = platform::CalendarSeconds();
}

// Opens the input and the output (refusing an output that is the input or
// `packagePath`), then reads blocks of lines and has `converter` answer and
// write them, counting and reporting progress after each line. A line
// counts as succeeded when answered, as failed when not and it holds a pair
// or is not empty. Returns kBatchCompleted, kBatchInputUnreadable or
// kBatchOutputUnwritable, with job.failure set when not completed; lines of
// a block read before a read failure are written first.
std::int32_t ConvertLines(LineConverter& converter, const std::string& packagePath, BatchJob& job) {
  // File names are bytes: whatever the arguments held comes back unchanged.
  const std::string inputPath = platform::Utf16ToConsoleKeepingBytes(job.inputPath);
  const std::string outputPath = platform::Utf16ToConsoleKeepingBytes(job.outputPath);
  const bool inputIsStream = inputPath == kStandardStream;
  const bool outputIsStream = outputPath == kStandardStream;
  // Standard input has no size to measure progress against.
  const std::uint64_t inputSize = inputIsStream ? 0 : platform::FileSize(inputPath).value_or(0);

  platform::FileStream input =
      inputIsStream ? platform::FileStream(stdin) : platform::OpenStream(inputPath, platform::StreamMode::kRead);
  if (!input) {
    job.failure = FileFailure("cannot open the input file", inputPath, errno);
    return kBatchInputUnreadable;
  }
  // A folder opens for reading here but cannot be read; refuse it before the
  // output file is made.
  if (!inputIsStream && !platform::FileExists(inputPath)) {
    job.failure = "the input " + Quoted(inputPath) + " is a folder, not a file";
    return kBatchInputUnreadable;
  }
  if (!outputIsStream) job.failure = OutputRefusal(outputPath, inputPath, packagePath);
  if (!job.failure.empty()) return kBatchOutputUnwritable;
  platform::FileStream output =
      outputIsStream ? platform::FileStream(stdout) : platform::OpenStream(outputPath, platform::StreamMode::kCreate);
  if (!output) {
    job.failure = FileFailure("cannot create the output file", outputPath, errno);
    return kBatchOutputUnwritable;
  }

  LineReader reader(input.get());
  RecordWriter writer(output.get());
  ProgressReport progress(job.outputHandle, inputSize);
  std::vector<BatchLine> lines(std::max<std::size_t>(converter.BlockSize(), 1));
  std::size_t count = 0;
  int error = 0;

  // Answers and writes the lines gathered, in order; false when a write failed.
  const auto writeBlock = [&] {
    converter.Answer(lines, count);
    for (std::size_t i = 0; i < count; ++i) {
      bool found = false;
      const bool written = converter.Write(writer, lines, i, found);
      if (found) {
        ++job.succeeded;
      } else if (lines[i].pair.IsComplete() || !lines[i].text.empty()) {
        ++job.failed;
      }
      if (!written) return false;
      progress.Update(lines[i].endPosition, job.succeeded, job.failed);
    }
    count = 0;
    return true;
  };
  const auto failWrite = [&] {
    error = errno;
    job.failure = FileFailure("cannot write the output file", outputPath, error);
    CloseChecked(output, writer, error);
    return kBatchOutputUnwritable;
  };

  while (!reader.AtEnd()) {
    BatchLine& line = lines[count];
    if (!reader.ReadLine(line.text)) {
      const int readError = errno;
      // What was read before the failure is written, as line by line.
      if (!writeBlock()) return failWrite();
      job.failure = FileFailure("cannot read the input file", inputPath, readError);
      CloseChecked(output, writer, error);
      return kBatchInputUnreadable;
    }
    line.pair = ScanCoordinatePair(line.text.c_str());
    if (LoneCrCutsLine(line.text)) ++job.linesCutAtLoneCr;
    line.endPosition = reader.Position();
    ++count;
    if (count < lines.size() && !reader.AtEnd()) continue;
    if (!writeBlock()) return failWrite();
  }

  input.reset();
  if (!CloseChecked(output, writer, error)) {
    job.failure = FileFailure("cannot write the output file", outputPath, error);
    return kBatchOutputUnwritable;
  }
  job.endTime = platform::CalendarSeconds();
  return kBatchCompleted;
}

}  // namespace

std::int32_t ConvertCsvFile(LookupBackend& backend, const SearchSettings& settings,
                            const ExtendedOptions& options, BatchJob& job) {
  StartBatchJob(job);
  const std::int32_t prepared = backend.Prepare(settings, true, job.failure);
  if (prepared != kBatchCompleted) return prepared;
  std::optional<LineFormatter> formatter;
  if (options.used) formatter.emplace(options.format, settings.separator, options.distance);
  LineConverter converter(backend, formatter ? &*formatter : nullptr);
  return ConvertLines(converter, backend.PackagePath(), job);
}

}  // namespace kavrel::console
