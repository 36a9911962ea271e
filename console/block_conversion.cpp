#include "block_conversion.h"

#include <algorithm>
#include <limits>

#include "csv_fields.h"

namespace kavrel::console {

namespace {

constexpr std::size_t kNoRow = std::numeric_limits<std::size_t>::max();

// True for a line of nothing but line ends.
bool IsBlank(std::string_view text) {
  return !text.empty() && text.find_first_not_of("\r\n") == std::string_view::npos;
}

}  // namespace

// Called for every line, most of which hold no carriage return but the one
// before their line feed: one search settles those.
bool LoneCrCutsLine(std::string_view line) {
  for (std::size_t cr = line.find('\r'); cr != std::string_view::npos; cr = line.find('\r', cr + 1)) {
    if (cr + 1 < line.size() && line[cr + 1] == '\n') continue;
    const std::size_t scanned = std::min(line.find('\0'), line.size());
    for (std::size_t i = cr + 1; i < scanned; ++i) {
      if (line[i] != '\r' && line[i] != '\n') return true;
    }
    return false;
  }
  return false;
}

ConversionBlock::ConversionBlock(const std::optional<Format>& format) {
  if (format) m_formatter.emplace(format->format, format->separator, format->withDistance);
}

void ConversionBlock::Convert(LookupBackend& backend, const PairReader& pairs) {
  Scan(pairs);
  LookUp(backend);
  m_output.clear();
  m_tallies.clear();
  m_linesNotEmpty = 0;
  const std::string_view bytes = input.bytes;
  for (const ScannedLine& line : m_lines) {
    const std::string_view text = bytes.substr(line.begin, line.end - line.begin);
    const PointAnswer* answer = line.row == kNoRow ? nullptr : &m_answers[line.row];
    Write(line, text, answer);
    LineCount count = LineCount::kNeither;
    if (answer != nullptr && answer->Found()) {
      count = LineCount::kSucceeded;
    } else if (line.header && pairs.UsesColumns()) {
      count = LineCount::kNeither;
    } else if (line.pair.IsComplete() || !text.empty()) {
      count = line.header || IsBlank(text) ? LineCount::kFailedWithoutContent : LineCount::kFailed;
    }
    m_tallies.push_back({input.PositionAfter(line.end), count});
    m_linesNotEmpty += !text.empty();
  }
}

void ConversionBlock::Scan(const PairReader& pairs) {
  m_lines.clear();
  m_latitudes.clear();
  m_longitudes.clear();
  m_linesCutAtLoneCr = 0;
  const std::string_view bytes = input.bytes;
  ForEachLine(input, [&](std::size_t begin, std::size_t end) {
    // Each line but the final one ends in its line feed, and the final one
    // in the NUL after the bytes: the scan stops at either.
    const std::string_view text = bytes.substr(begin, end - begin);
    ScannedLine line{begin, end, pairs.Read(text), kNoRow, false};
    if (input.first && m_lines.empty()) {
      line.header = pairs.UsesColumns()
                        ? pairs.IsHeader(text)
                        : !line.pair.IsComplete() && output::LooksLikeHeader(LineBody(text));
    }
    // Fields chosen by /cols end at the line end, not at a carriage return.
    if (!pairs.UsesColumns() && LoneCrCutsLine(text)) ++m_linesCutAtLoneCr;
    if (line.pair.IsComplete()) {
      line.row = m_latitudes.size();
      m_latitudes.push_back(line.pair.latitude);
      m_longitudes.push_back(line.pair.longitude);
    }
    m_lines.push_back(line);
  });
}

void ConversionBlock::LookUp(LookupBackend& backend) {
  const std::size_t count = m_latitudes.size();
  m_answers.resize(count);
  const std::size_t most = std::max<std::size_t>(backend.BlockSize(), 1);
  for (std::size_t start = 0; start < count; start += most) {
    backend.Lookup(m_latitudes.data() + start, m_longitudes.data() + start, std::min(most, count - start),
                   m_answers.data() + start);
  }
}

void ConversionBlock::Write(const ScannedLine& line, std::string_view text, const PointAnswer* answer) {
  const bool found = answer != nullptr && answer->Found();
  if (m_formatter) {
    m_formatter->Append(m_output, text, line.pair, found ? answer->names : LineAnswer{}, line.header);
  } else if (answer != nullptr) {
    output::AppendRecordFields(m_output, line.pair.latitude, line.pair.longitude, answer->address, m_encoder);
    m_output += "\r\n";
  } else {
    std::string_view lineEnd;
    m_output += output::CopiedLine(text, lineEnd);
    m_output += lineEnd;
  }
}

}  // namespace kavrel::console
