#include "batch.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>
#include <string_view>

#include "block_conversion.h"
#include "failure_report.h"
#include "kavrel/platform/clock.h"
#include "kavrel/platform/files.h"
#include "kavrel/platform/text.h"
#include "input_bytes.h"
#include "line_blocks.h"
#include "kavrel/output/ordered_pipeline.h"
#include "output_bytes.h"
#include "pair_reader.h"
#include "progress_report.h"

namespace kavrel::console {

namespace {

using output::OrderedPipeline;
using output::PipelineStages;
using output::ReadOutcome;

// Closes the output and tells whether everything written reached the file;
// when not, `error` receives the error number.
bool CloseChecked(platform::FileStream& file, ByteSink& sink, int& error) {
  errno = 0;
  bool written = sink.Finish() && std::fflush(file.get()) == 0 && !std::ferror(file.get());
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

void StartBatchJob(BatchJob& job) {
  job.succeeded = 0;
  job.failed = 0;
  job.failedWithoutContent = 0;
  job.linesCutAtLoneCr = 0;
  job.failure.clear();
  job.startTime = platform::CalendarSeconds();
}

// How large a block of lines grows before it ends at a line end: many
// thousand lines, so that handing blocks between threads costs nothing
// next to converting them, and few enough blocks in flight per thread to
// keep the memory small.
constexpr std::size_t kBlockBytes = 256 * 1024;

// Blocks in flight on `threads` threads: one alone needs no more; more let
// a thread start the next block while the one before waits to be written.
std::size_t BlocksInFlight(std::int32_t threads) {
  return threads <= 1 ? 1 : 2 * static_cast<std::size_t>(threads);
}

// One conversion from opening the files to closing them: blocks of lines
// are read, converted and written in order (OrderedPipeline), counted and
// shown in the progress as they are written.
class Conversion {
public:
  Conversion(LookupBackend& backend, const std::optional<ConversionBlock::Format>& format,
             const ExtendedOptions& options, BatchJob& job)
      : m_backend(backend),
        m_options(options),
        m_job(job),
        // File names are bytes: whatever the arguments held comes back unchanged.
        m_inputPath(platform::PathFromArgument(job.inputPath)),
        m_outputPath(platform::PathFromArgument(job.outputPath)),
        m_threads(std::max<std::int32_t>(backend.Threads(), 1)) {
    const std::size_t blocks = BlocksInFlight(m_threads);
    for (std::size_t i = 0; i < blocks; ++i) m_blocks.emplace_back(format);
  }

  // Opens the input, finds the /cols fields in its first line, opens the
  // output (refusing one that is the input or `packagePath`) and converts.
  // Returns a BatchResult; the lines read before a read failure are
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
    m_reader.emplace(*m_source, kBlockBytes);
    m_percentProgress.emplace(m_job.outputHandle, m_inputSize);
    if (m_inputSize == 0) m_streamProgress.emplace(m_job.streamProgressHandle, m_job.streamProgressMilliseconds);
    return kBatchCompleted;
  }

  // With /cols, reads the first block ahead and finds the two fields in its
  // first line.
  std::int32_t ChooseColumns() {
    if (!m_options.columns.Given()) return kBatchCompleted;
    LineBlock& first = m_blocks.front().input;
    m_reader->Read(first);
    m_firstBlockRead = true;
    const std::string_view bytes = first.bytes;
    const std::size_t feed = bytes.find('\n');
    if (feed == std::string_view::npos && first.failed) return ReadFailure(m_source->Failure());
    const std::string_view firstLine = bytes.substr(0, feed == std::string_view::npos ? feed : feed + 1);
    // An empty input has no fields to check and no line to read them from.
    if (!firstLine.empty()) {
      const std::optional<ColumnIndexes> columns = ResolveColumns(m_options.columns, firstLine, m_job.failure);
      if (!columns) return kBatchColumnsUnusable;
      m_pairs = PairReader(*columns);
    }
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
    return kBatchCompleted;
  }

  std::int32_t ConvertAll() {
    OrderedPipeline pipeline(m_blocks.size());
    const PipelineStages stages{
        [this](std::size_t slot) { return ReadBlock(m_blocks[slot].input); },
        [this](std::size_t slot) { m_blocks[slot].Convert(m_backend, m_pairs); },
        [this](std::size_t slot) { return WriteBlock(m_blocks[slot]); },
    };
    int error = 0;
    if (!pipeline.Run(m_threads, stages)) {
      m_job.failure = FileFailure("cannot write the output file", m_outputPath, m_writeError);
      CloseChecked(m_output, *m_sink, error);
      return kBatchOutputUnwritable;
    }
    if (m_readFailed) {
      const std::int32_t result = ReadFailure(m_source->Failure());
      CloseChecked(m_output, *m_sink, error);
      return result;
    }
    m_input.reset();
    if (!CloseChecked(m_output, *m_sink, error)) {
      m_job.failure = FileFailure("cannot write the output file", m_outputPath, error);
      return kBatchOutputUnwritable;
    }
    m_job.endTime = platform::CalendarSeconds();
    return kBatchCompleted;
  }

  // The pipeline's read stage.
  ReadOutcome ReadBlock(LineBlock& block) {
    // The first block, read ahead for /cols, is in the first slot already.
    if (m_firstBlockRead) {
      m_firstBlockRead = false;
    } else if (!m_reader->Read(block)) {
      return ReadOutcome::kNothing;
    }
    m_readFailed = block.failed;
    return block.last || block.failed ? ReadOutcome::kLastItem : ReadOutcome::kItem;
  }

  // The pipeline's write stage: writes the output of a block, then counts
  // its lines and shows the progress they made. False when the write
  // failed, with its error number in m_writeError.
  bool WriteBlock(const ConversionBlock& block) {
    errno = 0;
    if (!m_sink->Write(block.Output())) {
      m_writeError = errno;
      return false;
    }
    for (const LineTally& line : block.Tallies()) {
      switch (line.count) {
        case LineCount::kNeither: break;
        case LineCount::kSucceeded: ++m_job.succeeded; break;
        case LineCount::kFailedWithoutContent: ++m_job.failedWithoutContent; [[fallthrough]];
        case LineCount::kFailed: ++m_job.failed; break;
      }
      m_percentProgress->Update(line.position, m_job.succeeded, m_job.failed);
    }
    m_job.linesCutAtLoneCr += block.LinesCutAtLoneCr();
    if (m_streamProgress) {
      m_linesWritten += block.LinesNotEmpty();
      m_streamProgress->Update(m_linesWritten, m_stopwatch.ElapsedMilliseconds());
    }
    return true;
  }

  std::int32_t ReadFailure(const std::string& why) {
    m_job.failure = "cannot read the input file " + Quoted(m_inputPath) + ": " + why;
    return kBatchInputUnreadable;
  }

  LookupBackend& m_backend;
  const ExtendedOptions& m_options;
  BatchJob& m_job;
  const std::string m_inputPath;
  const std::string m_outputPath;
  const std::int32_t m_threads;
  std::uint64_t m_inputSize = 0;
  platform::FileStream m_input;
  std::unique_ptr<ByteSource> m_source;
  std::optional<BlockReader> m_reader;
  platform::FileStream m_output;
  std::unique_ptr<ByteSink> m_sink;
  PairReader m_pairs;  // the designed scan unless /cols chose fields
  std::deque<ConversionBlock> m_blocks;  // one per pipeline slot
  bool m_firstBlockRead = false;         // the first slot holds the first block already
  bool m_readFailed = false;
  int m_writeError = 0;
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
  std::optional<ConversionBlock::Format> format;
  if (options.used) format = ConversionBlock::Format{options.format, settings.separator, options.distance};
  Conversion conversion(backend, format, options, job);
  return conversion.Run(backend.PackagePath());
}

}  // namespace kavrel::console
