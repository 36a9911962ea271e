#include "batch.h"

#include <algorithm>
#include <limits>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "csv_fields.h"
#include "failure_report.h"
#include "kavrel/output/line_writers.h"
#include "kavrel/platform/clock.h"
#include "kavrel/platform/files.h"
#include "kavrel/platform/text.h"
#include "line_reader.h"
#include "input_bytes.h"
#include "line_scan.h"
#include "output_bytes.h"
#include "pair_reader.h"
#include "progress_report.h"
#include "record_writer.h"

namespace kavrel::console {

using output::LineFormatter;

namespace {

// Closes the output and tells whether everything buffered reached the file;
// when not, `error` receives the error number.
bool CloseChecked(platform::FileStream& file, RecordWriter& writer, ByteSink& sink, int& error) {
  errno = 0;
  bool written = writer.Flush() && sink.Finish() && std::fflush(file.get()) == 0 && !std::ferror(file.get());
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

// A file of the conversion as a report names it, and what makes it that file.
struct ConversionFile {
  std::string name;
  std::optional<platform::FileIdentity> identity;
};

// The input or the output at `path`: a named file, or standard input or
// output for kStandardStream (which only a regular file makes comparable).
ConversionFile FileAt(const std::string& path, platform::StandardStream stream) {
  if (path != kStandardStream) {
    const char* role = stream == platform::StandardStream::kInput ? "the input file " : "the output file ";
    return {role + Quoted(path), platform::IdentifyFile(path)};
  }
  return {stream == platform::StandardStream::kInput ? "standard input" : "standard output",
          platform::IdentifyStandardStream(stream)};
}

// Why the conversion must not write to `outputPath`, or empty when it may:
// the output would replace the input or the package the engine reads. Either
// path may be kStandardStream.
std::string OutputRefusal(const std::string& outputPath, const std::string& inputPath,
                          const std::string& packagePath) {
  const ConversionFile output = FileAt(outputPath, platform::StandardStream::kOutput);
  if (!output.identity) return {};
  const ConversionFile input = FileAt(inputPath, platform::StandardStream::kInput);
  if (output.identity == input.identity) {
    return output.name + " is " + input.name + ": writing it would destroy the input; nothing was written";
  }
  if (!packagePath.empty() && output.identity == platform::IdentifyFile(packagePath)) {
    return output.name + " is the data package " + Quoted(packagePath) + " in use; nothing was written";
  }
  return {};
}

// One input line on its way to the output.
struct BatchLine {
  std::string text;               // as read, its line end included
  CoordinatePair pair;            // what the scan found in it
  std::uint64_t endPosition = 0;  // the read position after it, for the progress
  bool header = false;            // the first line, taken for column names
};

// True for a line of nothing but line ends.
bool IsBlank(const std::string& text) {
  return !text.empty() && text.find_first_not_of("\r\n") == std::string::npos;
}

// What a line needs besides its bytes before it can be answered: its pair,
// and for the first line whether it is the header. Depends on the line alone
// (and on `reader`, which nothing changes), so blocks of lines can be
// scanned anywhere.
void ScanLine(const PairReader& reader, bool first, BatchLine& line) {
  line.pair = reader.Read(line.text);
  line.header = first && (reader.UsesColumns()
                              ? reader.IsHeader(line.text)
                              : !line.pair.IsComplete() && output::LooksLikeHeader(LineBody(line.text)));
}

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
      m_formatter->Append(m_text, line.text, line.pair, found ? answer->names : LineAnswer{}, line.header);
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
  std::vector<double> m_latitudes;
  std::vector<double> m_longitudes;
  std::vector<std::size_t> m_rowOf;  // for each line of the block, its row, or kNoRow
  std::vector<PointAnswer> m_answers;
  std::string m_text;
};

void StartBatchJob(BatchJob& job) {
  job.succeeded = 0;
  job.failed = 0;
  job.failedWithoutContent = 0;
  job.linesCutAtLoneCr = 0;
  job.failure.clear();
  job.startTime = platform::CalendarSeconds();
}

// One conversion from opening the files to closing them: reads blocks of
// lines, scans them, has the converter answer and write them, counts them
// and shows the progress.
class Conversion {
public:
  Conversion(LineConverter& converter, const ExtendedOptions& options, BatchJob& job)
      : m_converter(converter),
        m_options(options),
        m_job(job),
        // File names are bytes: whatever the arguments held comes back unchanged.
        m_inputPath(platform::PathFromArgument(job.inputPath)),
        m_outputPath(platform::PathFromArgument(job.outputPath)),
        m_lines(converter.BlockSize()) {}

  // Opens the input, finds the /cols fields in its first line, opens the
  // output (refusing one that is the input or `packagePath`) and converts.
  // Returns a BatchResult; lines of a block read before a read failure are
  // written first.
  std::int32_t Run(const std::string& packagePath) {
    std::int32_t result = OpenInput();
    if (result == kBatchCompleted) result = ChooseColumns();
    if (result == kBatchCompleted) result = OpenOutput(packagePath);
    if (result == kBatchCompleted) result = ConvertAll();
    return result;
  }

private:
  std::int32_t OpenInput() {
    const bool isStream = m_inputPath == kStandardStream;
    // Standard input has no size to measure progress against.
    m_inputSize = isStream ? 0 : platform::FileSize(m_inputPath).value_or(0);
    m_input = isStream ? platform::FileStream(stdin) : platform::OpenStream(m_inputPath, platform::StreamMode::kRead);
    if (!m_input) {
      m_job.failure = FileFailure("cannot open the input file", m_inputPath, errno);
      return kBatchInputUnreadable;
    }
    // A folder opens for reading here but cannot be read; refuse it before the
    // output file is made.
    if (!isStream && !platform::FileExists(m_inputPath)) {
      m_job.failure = "the input " + Quoted(m_inputPath) + " is a folder, not a file";
      return kBatchInputUnreadable;
    }
    m_source = OpenByteSource(m_input.get());
    m_reader.emplace(*m_source);
    m_percentProgress.emplace(m_job.outputHandle, m_inputSize);
    if (m_inputSize == 0) m_streamProgress.emplace(m_job.streamProgressHandle, m_job.streamProgressMilliseconds);
    return kBatchCompleted;
  }

  // With /cols, reads the first line ahead and finds the two fields in it.
  std::int32_t ChooseColumns() {
    if (!m_options.columns.Given()) return kBatchCompleted;
    BatchLine& first = m_lines[0];
    if (!m_reader->ReadLine(first.text)) return ReadFailure(m_source->Failure());
    // An empty input has no fields to check and no line to read them from.
    if (!first.text.empty()) {
      const std::optional<ColumnIndexes> columns = ResolveColumns(m_options.columns, first.text, m_job.failure);
      if (!columns) return kBatchColumnsUnusable;
      m_pairs = PairReader(*columns);
    }
    Accept(first);
    return kBatchCompleted;
  }

  std::int32_t OpenOutput(const std::string& packagePath) {
    const bool isStream = m_outputPath == kStandardStream;
    m_job.failure = OutputRefusal(m_outputPath, m_inputPath, packagePath);
    if (!m_job.failure.empty()) return kBatchOutputUnwritable;
    m_output = isStream ? platform::FileStream(stdout) : platform::OpenStream(m_outputPath, platform::StreamMode::kCreate);
    if (!m_output && errno == platform::kLockedByAnother) {
      m_job.failure = "the output file " + Quoted(m_outputPath) +
                      " is being written by another program, which holds it locked; it was left as it is";
      return kBatchOutputUnwritable;
    }
    if (!m_output) {
      m_job.failure = FileFailure("cannot create the output file", m_outputPath, errno);
      return kBatchOutputUnwritable;
    }
    m_sink = MakeByteSink(m_output.get(), m_options.gzipOutput);
    m_writer.emplace(*m_sink);
    return kBatchCompleted;
  }

  std::int32_t ConvertAll() {
    while (!m_reader->AtEnd()) {
      if (!m_reader->ReadLine(m_lines[m_count].text)) {
        const std::string why = m_source->Failure();
        if (!WriteBlock()) return FailWrite();
        const std::int32_t result = ReadFailure(why);
        int error = 0;
        CloseChecked(m_output, *m_writer, *m_sink, error);
        return result;
      }
      Accept(m_lines[m_count]);
      if (m_count < m_lines.size() && !m_reader->AtEnd()) continue;
      if (!WriteBlock()) return FailWrite();
    }
    // The first line, read ahead, when the input ended with it.
    if (m_count > 0 && !WriteBlock()) return FailWrite();
    m_input.reset();
    int error = 0;
    if (!CloseChecked(m_output, *m_writer, *m_sink, error)) {
      m_job.failure = FileFailure("cannot write the output file", m_outputPath, error);
      return kBatchOutputUnwritable;
    }
    m_job.endTime = platform::CalendarSeconds();
    return kBatchCompleted;
  }

  // Takes the line just read into the block.
  void Accept(BatchLine& line) {
    ScanLine(m_pairs, m_linesRead == 0, line);
    // Fields chosen by /cols end at the line end, not at a carriage return.
    if (!m_pairs.UsesColumns() && LoneCrCutsLine(line.text)) ++m_job.linesCutAtLoneCr;
    line.endPosition = m_source->Compressed() ? m_source->StoredBytesRead() : m_reader->Position();
    ++m_count;
    ++m_linesRead;
  }

  // Answers and writes the lines gathered, in order; false when a write failed.
  bool WriteBlock() {
    m_converter.Answer(m_lines, m_count);
    for (std::size_t i = 0; i < m_count; ++i) {
      const BatchLine& line = m_lines[i];
      bool found = false;
      const bool written = m_converter.Write(*m_writer, m_lines, i, found);
      Count(line, found);
      if (!written) return false;
      m_percentProgress->Update(line.endPosition, m_job.succeeded, m_job.failed);
      if (m_streamProgress && !line.text.empty()) {
        m_streamProgress->Update(++m_linesWritten, m_stopwatch.ElapsedMilliseconds());
      }
    }
    m_count = 0;
    return true;
  }

  // A line counts as succeeded when answered, as failed when not and it holds
  // a pair or is not empty; a header found by /cols counts neither way.
  void Count(const BatchLine& line, bool found) {
    if (found) {
      ++m_job.succeeded;
    } else if (line.header && m_pairs.UsesColumns()) {
      return;
    } else if (line.pair.IsComplete() || !line.text.empty()) {
      ++m_job.failed;
      if (line.header || IsBlank(line.text)) ++m_job.failedWithoutContent;
    }
  }

  std::int32_t ReadFailure(const std::string& why) {
    m_job.failure = "cannot read the input file " + Quoted(m_inputPath) + ": " + why;
    return kBatchInputUnreadable;
  }

  std::int32_t FailWrite() {
    int error = errno;
    m_job.failure = FileFailure("cannot write the output file", m_outputPath, error);
    CloseChecked(m_output, *m_writer, *m_sink, error);
    return kBatchOutputUnwritable;
  }

  LineConverter& m_converter;
  const ExtendedOptions& m_options;
  BatchJob& m_job;
  const std::string m_inputPath;
  const std::string m_outputPath;
  std::uint64_t m_inputSize = 0;
  platform::FileStream m_input;
  std::unique_ptr<ByteSource> m_source;
  std::optional<LineReader> m_reader;
  platform::FileStream m_output;
  std::unique_ptr<ByteSink> m_sink;
  std::optional<RecordWriter> m_writer;
  PairReader m_pairs;  // the designed scan unless /cols chose fields
  std::vector<BatchLine> m_lines;
  std::size_t m_count = 0;          // lines of m_lines gathered
  std::uint64_t m_linesRead = 0;
  std::uint64_t m_linesWritten = 0;  // lines written that were not empty, for the stream progress
  std::optional<PercentProgress> m_percentProgress;
  std::optional<StreamProgress> m_streamProgress;
  platform::Stopwatch m_stopwatch;
};
}  // namespace

std::int32_t ConvertCsvFile(LookupBackend& backend, const SearchSettings& settings,
                            const ExtendedOptions& options, BatchJob& job) {
  StartBatchJob(job);
  const std::int32_t prepared = backend.Prepare(settings, true, job.failure);
  if (prepared != kBatchCompleted) return prepared;
  std::optional<LineFormatter> formatter;
  if (options.used) formatter.emplace(options.format, settings.separator, options.distance);
  LineConverter converter(backend, formatter ? &*formatter : nullptr);
  Conversion conversion(converter, options, job);
  return conversion.Run(backend.PackagePath());
}

}  // namespace kavrel::console
