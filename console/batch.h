// Batch conversion: a text file of coordinates becomes a CSV file of
// addresses, one output line per input line.
#pragma once

#include <cstdint>
#include <string>

#include "command_line.h"
#include "lookup_backend.h"
#include "progress_report.h"
#include "search_settings.h"

namespace kavrel::console {

// Result codes of ConvertCsvFile (and of LookupBackend::Prepare).
enum BatchResult : std::int32_t {
  kBatchCompleted = 0,
  kBatchStepRefused = 2001,       // SetStep not bound, or step or width not IsSearchCount
  kBatchSeparatorRefused = 2002,  // SetSeparator not bound or refused
  kBatchPreloadRefused = 2003,    // PreloadData not bound or refused
  kBatchInputUnreadable = 2004,   // input cannot be opened or read
  kBatchOutputUnwritable = 2005,  // output cannot be created, written, flushed or closed
  kBatchColumnsUnusable = 2006,   // /cols names a field the input's first line does not have
};

// The path that stands for standard input as /in and standard output as /out.
inline constexpr const char* kStandardStream = "-";

// One conversion: what the driver fills in, and what the run leaves behind.
struct BatchJob {
  std::u16string inputPath;   // as typed; turned into file system bytes in the console codeset
  std::u16string outputPath;  // likewise
  int outputHandle = -1;      // where progress lines go; negative: nowhere
  // Where the progress lines of an input without a known size go (standard
  // input, a pipe), and how often; negative: nowhere.
  int streamProgressHandle = -1;
  std::int64_t streamProgressMilliseconds = kStreamProgressMilliseconds;

  std::int32_t succeeded = 0;   // lines whose pair the engine found an address for
  std::int32_t failed = 0;      // other lines that were not empty (but a header under /cols)
  // Lines counted in `failed` without content: the first line when it looks
  // like column names (LooksLikeHeader) and holds no pair, and lines of
  // nothing but line ends. /maxfail leaves them out.
  std::int32_t failedWithoutContent = 0;
  std::int64_t startTime = 0;   // calendar seconds at the start
  std::int64_t endTime = 0;     // calendar seconds after a completed run only
  // Lines in which a carriage return without a line feed after it cut off
  // bytes that the token scan therefore never saw.
  std::int32_t linesCutAtLoneCr = 0;
  // For a result other than 0: what failed, which file and why, as one line
  // for standard error.
  std::string failure;
};

// Runs one conversion with a started `backend`. Has it prepare `settings`
// for the whole package (LookupBackend::Prepare, whose refusal is returned),
// then copies the input to the output line by line, in blocks of many lines
// that are read, converted and written in order on the backend's Threads()
// threads in all (one: the calling thread alone); the output and the counts
// do not depend on the thread count, and the blocks in flight are a few
// per thread whatever the input's size. When no option of
// `options` is used, a line holding a latitude and a longitude (see
// ScanCoordinatePair) becomes "lat,lon,address\r\n" with six decimals and
// the address as the engine joined it (empty when the lookup fails, which
// counts as failed), and any other line that is not empty counts as failed
// and is copied up to its first NUL, followed by its own line end (CR LF or
// LF) when the NUL cut it off, so that every line read gives one line
// written. Otherwise each line is written in the format of `options`
// (LineFormatter) from the answer's names.
// With /cols the pair comes from the two fields (PairReader), found in the
// first line before the output is made (kBatchColumnsUnusable when they are
// not there); a first line whose two fields do not read as numbers is the
// header, written like a line without a pair and counted neither way.
// An input that starts with the gzip magic is inflated (any number of
// members); /gzip compresses the output.
// After each line a progress line (message 156 and CR LF) goes to
// outputHandle each time the read position (for a gzip input, the
// compressed bytes read) passes another tenth of the input's size. An input
// of unknown or zero size shows none; it gets a StreamProgress line on
// streamProgressHandle every streamProgressMilliseconds instead.
// An output that is the input file or the package the backend uses (the
// same device and inode, whatever the names; standard input and output
// count as the regular files they are connected to) is refused with 2005
// before anything is opened for writing, and so is an output file that
// another process holds locked for writing (see StreamMode::kCreate),
// which is left untouched. The path kStandardStream reads standard input or
// writes standard output. Returns a BatchResult, with `failure` set
// when it is not 0. On 2004 and 2005 after the output was created, what was
// written stays in it.
std::int32_t ConvertCsvFile(LookupBackend& backend, const SearchSettings& settings,
                            const ExtendedOptions& options, BatchJob& job);

}  // namespace kavrel::console
