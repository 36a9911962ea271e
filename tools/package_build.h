// Building a data package from a CSV file of address points.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "kavrel/format/package_attribution.h"

namespace kavrel::pack {

using format::kAttributionEntry;

// What a build made.
struct BuildSummary {
  std::uint64_t points = 0;
  std::uint32_t prefectures = 0;
  std::uint32_t cities = 0;
  std::uint32_t areas = 0;
  std::uint64_t outsideArea = 0;  // points outside the engine's area box, kept
  std::uint32_t entries = 0;
  std::uint64_t bytes = 0;        // size of the package file
  std::int64_t milliseconds = 0;  // reading, encoding and writing
};

// Reads the address points of the CSV file `input` (see AddressCsvReader)
// and writes the package to `output`:
// - coordinates rounded to the nearest microdegree;
// - P keys per prefecture name, C keys per (prefecture, city) pair, S keys
//   per area text, numbered from 1 in order of first appearance;
// - one point block per 0.01-degree latitude band with points, records in
//   PointOrder; the P and C name blocks and one S block per 1000 S keys;
//   entries raw-deflated at level 9, names in UTF-8, point blocks first in
//   ascending band order, then P, C and the S blocks in ascending order;
// - when `attribution` is not empty, a last entry kAttributionEntry holding
//   it as is (stored, not deflated, so that it reads in any file viewer); the
//   engine never asks for it.
// The package is written under a temporary name beside `output` and renamed
// into place only when complete. Throws PackError, naming the file and line,
// for any bad input (a missing column, a field that is not a number, a
// coordinate outside -90..90 or -180..180 or below 0, which the keys cannot
// hold, a longitude that rounds to 0, an
// empty name, a name code page 932 cannot hold or longer than 255 bytes there,
// more names than a level can key, no points at all), for a block the
// package reader would refuse (more than kMaxEntryBytes, or inflating to
// more than MaxEntryContent of its deflated size: a band of very many
// repeated rows), naming the input and the band, for an attribution
// that is not valid UTF-8, and when the package cannot be written; `output`
// is then left as it was.
BuildSummary BuildPackage(const std::string& input, const std::string& output,
                          std::string_view attribution = {});

// The one-line summary of a build, without a line end, e.g.
// "out.bin: 12 points, 3 prefectures, 4 cities, 12 areas, 9 entries,
// 1234 bytes in 0.05 s".
std::string FormatSummary(const std::string& output, const BuildSummary& summary);

}  // namespace kavrel::pack
