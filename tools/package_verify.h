// Checking a package for everything the engine relies on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kavrel::pack {

// What verification found.
struct VerifyReport {
  // One sentence per problem, naming the entry where there is one. Problems
  // found in many records of one block are told once per block and kind,
  // with their count and the first record.
  std::vector<std::string> problems;
  std::uint32_t entries = 0;
  std::uint32_t pointBlocks = 0;
  std::uint32_t nameBlocks = 0;
  std::uint64_t points = 0;

  bool Sound() const { return problems.empty(); }
};

// Verifies the package at `path`: reads its header and index as they are
// (the file's length, the magic, the index and every entry's data inside the
// file, no duplicate entry names), opens it with the engine's own package
// reader and inflates every entry with it, then checks
// - point blocks: named as the engine names them, a multiple of 15 bytes,
//   records in ascending latitude, every record's band that of its block,
//   no longitude 0, and every P, C and S key resolving, as the engine looks
//   it up, to a non-empty name;
// - name blocks: records that end inside the block, S keys in the block the
//   engine looks in, texts that are valid code page 932;
// - that there is at least one point block.
// - that every entry loads: no two share stored bytes, none is larger than
//   kMaxEntryBytes stored or inflated, none inflates to more than
//   kMaxInflationRatio times its stored size (entry_cap.h; the engine loads
//   none such).
// Never throws for a damaged file; every fault is a problem in the report.
// Throws PackError when the file is missing, a folder or cannot be read:
// that is no verdict on a package.
VerifyReport VerifyPackage(const std::string& path);

// The verdict line, without a line end: "PATH: sound: ..." with the counts,
// or "PATH: damaged: N problems".
std::string FormatVerdict(const std::string& path, const VerifyReport& report);

}  // namespace kavrel::pack
