// The work of a conversion on one block of lines: finding each line's pair,
// looking the pairs up and writing the block's output lines. Blocks are
// converted apart from each other, on any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kavrel/output/console_text_encoder.h"
#include "kavrel/output/line_writers.h"
#include "line_blocks.h"
#include "lookup_backend.h"
#include "pair_reader.h"

namespace kavrel::console {

// How a line counts in a conversion's statistics.
enum class LineCount : std::uint8_t {
  kNeither,                // the empty read at the end; a header that /cols found
  kSucceeded,              // answered
  kFailed,                 // not answered, with a pair or other content
  kFailedWithoutContent,   // failed, but a header without a pair or a line of nothing but line ends
};

// What the statistics and the progress need of one converted line.
struct LineTally {
  std::uint64_t position;  // the read position after it (LineBlock::PositionAfter)
  LineCount count;
};

// True when a carriage return not followed by a line feed, before the first
// NUL, has bytes after it other than line ends: the designed scan stops at
// it, so those bytes are never looked at.
bool LoneCrCutsLine(std::string_view line);

// One block of a conversion: the lines read into it and what converting
// them made. A conversion keeps a few and reuses each for block after
// block, so that its memory stays what its largest blocks needed. Each has
// its own formatter, whose codeset converter must not serve two threads.
class ConversionBlock {
public:
  // `format`: the output format of LineFormatter, with the separator and
  // the distance choice; nothing for the designed records of the backend's
  // joined address.
  struct Format {
    output::OutputFormat format;
    std::u16string separator;
    bool withDistance;
  };
  explicit ConversionBlock(const std::optional<Format>& format);

  // The lines, filled by a BlockReader.
  LineBlock input;

  // Converts `input`: finds each line's pair with `pairs` (and, in the
  // input's first line, a header), looks the pairs up with `backend` in
  // calls of at most its BlockSize() points, and makes `Output()` and
  // `Tallies()`. Each line gives one output line, as ConvertCsvFile tells.
  // Calls of this on different blocks may run at once when the backend's
  // Lookup may.
  void Convert(LookupBackend& backend, const PairReader& pairs);

  // What Convert made: the output bytes, one tally per line in order, the
  // lines that were not empty, and those LoneCrCutsLine cut.
  const std::string& Output() const { return m_output; }
  const std::vector<LineTally>& Tallies() const { return m_tallies; }
  std::uint64_t LinesNotEmpty() const { return m_linesNotEmpty; }
  std::int32_t LinesCutAtLoneCr() const { return m_linesCutAtLoneCr; }

private:
  // A line of the block: where it is, what the scan found.
  struct ScannedLine {
    std::size_t begin;
    std::size_t end;
    CoordinatePair pair;
    std::size_t row;  // its point in m_latitudes..., or kNoRow
    bool header;
  };

  void Scan(const PairReader& pairs);
  void LookUp(LookupBackend& backend);
  // Appends the output of `line`; `answer` null when it has no pair.
  void Write(const ScannedLine& line, std::string_view text, const PointAnswer* answer);

  std::optional<output::LineFormatter> m_formatter;
  output::ConsoleTextEncoder m_encoder;
  std::vector<ScannedLine> m_lines;
  std::vector<double> m_latitudes;
  std::vector<double> m_longitudes;
  std::vector<PointAnswer> m_answers;
  std::string m_output;
  std::vector<LineTally> m_tallies;
  std::uint64_t m_linesNotEmpty = 0;
  std::int32_t m_linesCutAtLoneCr = 0;
};

}  // namespace kavrel::console
