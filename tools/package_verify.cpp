#include "package_verify.h"

#include <array>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "block_codec.h"
#include "kavrel/format/blocks.h"
#include "kavrel/format/data_package.h"
#include "kavrel/format/entry_cap.h"
#include "kavrel/platform/text.h"
#include "package_file.h"
#include "package_index.h"

namespace kavrel::pack {

namespace {

// A problem seen in many records of one block: told once, with its count and
// the first record where it was seen.
struct Tally {
  std::uint64_t count = 0;
  std::uint64_t firstRecord = 0;
  std::uint32_t firstValue = 0;

  void Note(std::uint64_t record, std::uint32_t value) {
    if (count++ == 0) {
      firstRecord = record;
      firstValue = value;
    }
  }
};

// What an entry is to the engine, told by its name.
enum class EntryKind { kPointBlock, kNameBlock, kOther };

struct Classified {
  EntryKind kind = EntryKind::kOther;
  std::uint32_t band = 0;  // point blocks
  NameLevel level = kLevelPref;  // name blocks
};

std::string Narrow(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

class Verifier {
public:
  explicit Verifier(std::string path) : m_path(std::move(path)) {}

  VerifyReport Run() {
    // The entries themselves are read by the engine's reader below; an
    // index of millions of records is not held twice.
    const PackageIndex index = ReadPackageIndex(ReadPackageFile(m_path), false);
    for (const std::string& problem : index.problems) Problem(problem);
    m_report.entries = static_cast<std::uint32_t>(index.entryCount);
    if (!index.headerRead) return Finished();

    const PackageStatus opened = m_package.Open(platform::Utf8ToUtf16(m_path));
    if (opened != PackageStatus::kOk) {
      Problem(std::string("the engine's package reader refuses it (") + PackageStatusText(opened) + ")");
      return Finished();
    }
    if (static_cast<std::uint64_t>(m_package.FileCount()) != index.entryCount) {
      Problem("the engine reads " + std::to_string(m_package.FileCount()) + " entries from an index of " +
              std::to_string(index.entryCount));
      return Finished();
    }
    ClassifyEntries(index);
    for (std::int32_t i : m_nameBlocks) CheckNameBlock(i);
    for (std::int32_t i : m_pointBlocks) CheckPointBlock(i);
    // No search reads them, but a preload does.
    for (std::int32_t i : m_otherEntries) {
      if (Load(i)) m_package.File(i).ReleaseData();
    }
    m_report.pointBlocks = static_cast<std::uint32_t>(m_pointBlocks.size());
    m_report.nameBlocks = static_cast<std::uint32_t>(m_nameBlocks.size());
    if (m_pointBlocks.empty()) Problem("holds no point blocks, so the engine finds no address anywhere");
    return Finished();
  }

private:
  // The problems past the first kMostProblems are only counted, so that a
  // package of millions of faulty records is reported in bounded memory.
  static constexpr std::size_t kMostProblems = 1000;

  void Problem(const std::string& text) {
    if (m_report.problems.size() < kMostProblems) {
      m_report.problems.push_back(text);
    } else {
      ++m_untold;
    }
  }

  VerifyReport Finished() {
    if (m_untold > 0) m_report.problems.push_back("and " + std::to_string(m_untold) + " more problems");
    return std::move(m_report);
  }

  void ClassifyEntries(const PackageIndex& index) {
    for (std::int32_t i = 0; i < m_package.FileCount(); ++i) {
      const CDataPackageFile& entry = m_package.File(i);
      const std::string name = Narrow(m_package.NameOf(entry));
      const std::int32_t first = m_package.FindFile(m_package.NameOf(entry));
      if (first != i) {
        Problem(name + ": entry " + std::to_string(i) + " has the name of entry " + std::to_string(first) +
                "; the engine only ever finds the first");
        continue;
      }
      if (entry.Method() > 1) {
        Problem(name + ": stored with " + MethodName(entry.Method()) + ", which the engine cannot read");
      }
      // Its data lies past the end of the file: already told, nothing to read.
      if (!EntryInFile(index.dataStart, entry.Offset(), entry.StoredSize(), index.fileSize)) continue;
      if (entry.SharesBytes()) {
        Problem(name + ": its stored bytes overlap those of another entry, so the engine loads neither");
        continue;
      }
      const Classified what = Classify(m_package.NameOf(entry));
      if (what.kind == EntryKind::kPointBlock) {
        m_pointBlocks.push_back(i);
        m_bands.emplace(i, what.band);
      } else if (what.kind == EntryKind::kNameBlock) {
        m_nameBlocks.push_back(i);
        m_levels.emplace(i, what.level);
      } else {
        m_otherEntries.push_back(i);
      }
    }
  }

  // Tells an entry by its name; a name that looks like a block's but is not
  // one the engine builds is a problem, since the engine never reads it.
  Classified Classify(std::u16string_view wide) {
    Classified what;
    const std::string name = Narrow(wide);
    if (StartsWith(name, "/L") && name.find("LLP") != std::string::npos) {
      if (const std::optional<std::uint32_t> band = PointBlockBand(wide)) {
        what.kind = EntryKind::kPointBlock;
        what.band = *band;
      } else {
        Problem(name + ": named like a point block, but not as the engine names one");
      }
      return what;
    }
    const std::array<std::pair<const char*, NameLevel>, 3> levels = {
        {{"/P/", kLevelPref}, {"/C/", kLevelCity}, {"/S/", kLevelArea}}};
    for (const auto& [prefix, level] : levels) {
      if (!StartsWith(name, prefix)) continue;
      if (NameBlockFirstKey(level, wide)) {
        what.kind = EntryKind::kNameBlock;
        what.level = level;
      } else {
        Problem(name + ": named like a name block, but not as the engine names one");
      }
      return what;
    }
    return what;
  }

  // The inflated content of entry `i` as the engine loads it, or nothing
  // (and a problem) when it does not load.
  std::optional<std::string_view> Load(std::int32_t i) {
    const CDataPackageFile& entry = m_package.File(i);
    const PackageStatus status = m_package.LoadFile(m_package.NameOf(entry));
    if (status != PackageStatus::kOk) {
      Problem(Narrow(m_package.NameOf(entry)) + ": the engine cannot load it (" + PackageStatusText(status) +
              (status == PackageStatus::kDamaged
                   ? ": a damaged stream, or more than " + std::to_string(kMaxInflationRatio) +
                         " times its stored size or " + std::to_string(kMaxEntryBytes) + " bytes inflated"
                   : std::string()) +
              ")");
      return std::nullopt;
    }
    return entry.Bytes();
  }

  void CheckNameBlock(std::int32_t i) {
    const std::optional<std::string_view> content = Load(i);
    if (!content) return;
    const std::u16string_view wideName = m_package.FileName(i);
    const std::string name = Narrow(wideName);
    const NameLevel level = m_levels.at(i);
    bool complete = true;
    const std::vector<NameRecord> records = ReadNameBlock(*content, complete);
    if (!complete) Problem(name + ": its last record runs past the end of the block");
    Tally misplaced, invalid;
    for (std::size_t r = 0; r < records.size(); ++r) {
      const NameRecord& record = records[r];
      if (level == kLevelArea && BuildNameBlockName(level, record.key) != wideName) {
        misplaced.Note(r, record.key);
        continue;  // the engine looks for this key elsewhere
      }
      bool usable = !record.text.empty();
      if (usable && platform::Cp932ToUtf16(record.text).find(u'\uFFFD') != std::u16string::npos) {
        invalid.Note(r, record.key);
      }
      // The first record with a key wins, an empty one too.
      m_names[level].emplace(record.key, usable);
    }
    Report(name, misplaced, "records hold keys that the engine looks for in another block", "key");
    Report(name, invalid, "names are not valid code page 932 text", "key");
    m_package.File(i).ReleaseData();
  }

  void CheckPointBlock(std::int32_t i) {
    const std::optional<std::string_view> content = Load(i);
    if (!content) return;
    const std::string name = Narrow(m_package.FileName(i));
    const std::uint32_t band = m_bands.at(i);
    if (content->size() % kPointRecordSize != 0) {
      Problem(name + ": " + std::to_string(content->size()) + " bytes, not a multiple of " +
              std::to_string(kPointRecordSize));
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(content->data());
    const std::size_t count = content->size() / kPointRecordSize;
    Tally descending, outsideBand, zeroLongitude, unnamed[3];
    std::uint32_t previous = 0;
    for (std::size_t r = 0; r < count; ++r) {
      const PointRecord point = ReadPointRecord(bytes + r * kPointRecordSize);
      if (r > 0 && point.latitude < previous) descending.Note(r, point.latitude);
      previous = point.latitude;
      if (BandOf(point.latitude) != band) outsideBand.Note(r, point.latitude);
      if (point.longitude == 0) zeroLongitude.Note(r, 0);
      const std::uint32_t keys[3] = {point.prefecture, point.city, point.area};
      for (int level = 0; level < 3; ++level) {
        const auto found = m_names[level].find(keys[level]);
        if (found == m_names[level].end() || !found->second) unnamed[level].Note(r, keys[level]);
      }
    }
    m_report.points += count;
    Report(name, descending, "records are not in ascending latitude", "latitude");
    Report(name, outsideBand, "records lie outside the band of the block's name", "latitude");
    Report(name, zeroLongitude, "records have longitude 0, which the search takes for set aside", nullptr);
    Report(name, unnamed[kLevelPref], "records have a P key without a name", "P key");
    Report(name, unnamed[kLevelCity], "records have a C key without a name", "C key");
    Report(name, unnamed[kLevelArea], "records have an S key without a name", "S key");
    m_package.File(i).ReleaseData();
  }

  void Report(const std::string& name, const Tally& tally, const char* what, const char* valueName) {
    if (tally.count == 0) return;
    std::string text = name + ": " + std::to_string(tally.count) + " " + what + " (first: record " +
                       std::to_string(tally.firstRecord);
    if (valueName != nullptr) text += std::string(", ") + valueName + " " + std::to_string(tally.firstValue);
    Problem(text + ")");
  }

  std::string m_path;
  VerifyReport m_report;
  std::uint64_t m_untold = 0;  // problems past kMostProblems
  CDataPackage m_package;
  std::vector<std::int32_t> m_pointBlocks;
  std::vector<std::int32_t> m_nameBlocks;
  std::vector<std::int32_t> m_otherEntries;
  std::unordered_map<std::int32_t, std::uint32_t> m_bands;
  std::unordered_map<std::int32_t, NameLevel> m_levels;
  // Per level, key to whether the engine finds a non-empty name for it.
  std::unordered_map<std::uint32_t, bool> m_names[3];
};

}  // namespace

VerifyReport VerifyPackage(const std::string& path) { return Verifier(path).Run(); }

std::string FormatVerdict(const std::string& path, const VerifyReport& report) {
  if (!report.Sound()) {
    return path + ": damaged: " + std::to_string(report.problems.size()) +
           (report.problems.size() == 1 ? " problem" : " problems");
  }
  return path + ": sound: " + std::to_string(report.entries) + " entries, " +
         std::to_string(report.pointBlocks) + " point blocks with " + std::to_string(report.points) +
         " points, " + std::to_string(report.nameBlocks) + " name blocks";
}

}  // namespace kavrel::pack
