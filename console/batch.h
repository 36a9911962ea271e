// Batch conversion: a text file of coordinates becomes a CSV file of
// addresses, one output line per input line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine_binding.h"
#include "line_scan.h"
#include "record_writer.h"
#include "search_settings.h"

namespace kavrel::console {

// Result codes of ConvertCsvFile.
enum BatchResult : std::int32_t {
  kBatchCompleted = 0,
  kBatchStepRefused = 2001,       // SetStep not bound, or step or width not IsSearchCount
  kBatchSeparatorRefused = 2002,  // SetSeparator not bound or refused
  kBatchPreloadRefused = 2003,    // PreloadData not bound or refused
  kBatchInputUnreadable = 2004,   // input cannot be opened or read
  kBatchOutputUnwritable = 2005,  // output cannot be created, written, flushed or closed
};

// The path that stands for standard input as /in and standard output as /out.
inline constexpr const char* kStandardStream = "-";

// One conversion: what the driver fills in, and what the run leaves behind.
struct BatchJob {
  std::u16string inputPath;   // as typed; turned into file system bytes in the console codeset
  std::u16string outputPath;  // likewise
  int outputHandle = -1;      // where progress lines go; negative: nowhere

  std::int32_t succeeded = 0;   // lines whose pair the engine found an address for
  std::int32_t failed = 0;      // other lines that were not empty
  std::int64_t startTime = 0;   // calendar seconds at the start
  std::int64_t endTime = 0;     // calendar seconds after a completed run only
  // Lines in which a carriage return without a line feed after it cut off
  // bytes that the token scan therefore never saw.
  std::int32_t linesCutAtLoneCr = 0;
  // For a result other than 0: what failed, which file and why, as one line
  // for standard error.
  std::string failure;
};

// Runs one conversion with an engine that LoadEngine has started. Sends
// `settings` (SendSettings), preloads the data, then copies the input to
// the output line by line: a line holding a latitude and a longitude (see
// ScanCoordinatePair) becomes "lat,lon,address\r\n" with six decimals
// (address empty when the lookup fails, which counts as failed); any other
// line that is not empty counts as failed and is copied up to its first NUL,
// followed by its own line end (CR LF or LF) when the NUL cut it off, so
// that every line read gives one line written.
// After each line a progress line (message 156 and CR LF) goes to
// outputHandle each time the read position passes another tenth of the
// input's size; an input of unknown or zero size shows none.
// An output that is the input file or the package the engine uses (the same
// device and inode, whatever the names) is refused with 2005 before anything
// is opened for writing. The path kStandardStream reads standard input
// (which shows no progress) or writes standard output. Returns a BatchResult, with `failure` set when it is
// not 0. On 2004 and 2005 after the output was created, what was written
// stays in it.
std::int32_t ConvertCsvFile(const CEngineBinding& engine, const SearchSettings& settings,
                            BatchJob& job);

// One input line on its way to the output.
struct BatchLine {
  std::string text;               // as read, its line end included
  CoordinatePair pair;            // what the scan found in it
  std::uint64_t endPosition = 0;  // the read position after it, for the progress
};

// How a conversion answers and writes its lines, a block at a time: the
// designed lookup and record, or the formats and the thread-safe lookups of
// the options beyond the designed ones.
class LineConverter {
public:
  virtual ~LineConverter() = default;
  // How many lines are gathered before they are answered together (1 or more).
  virtual std::size_t BlockSize() const = 0;
  // Answers lines[0..count) that hold a complete pair.
  virtual void Answer(const std::vector<BatchLine>& lines, std::size_t count) = 0;
  // Appends the output of lines[index], after Answer, to `writer`; `found`
  // receives whether the line was answered. False when the writer failed.
  virtual bool Write(RecordWriter& writer, const std::vector<BatchLine>& lines, std::size_t index,
                     bool& found) = 0;
};

// Resets the counters and the failure of `job` and takes its start time.
void StartBatchJob(BatchJob& job);

// The file side of ConvertCsvFile, the engine set up: opens the input and
// the output (refusing an output that is the input or `packagePath`), then
// reads blocks of lines and has `converter` answer and write them, counting
// and reporting progress after each line as ConvertCsvFile does. A line
// counts as succeeded when answered, as failed when not and it holds a pair
// or is not empty. Returns kBatchCompleted, kBatchInputUnreadable or
// kBatchOutputUnwritable, with job.failure set when not completed; lines of
// a block read before a read failure are written first.
std::int32_t ConvertLines(LineConverter& converter, const std::string& packagePath, BatchJob& job);

}  // namespace kavrel::console
