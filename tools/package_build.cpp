#include "package_build.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "address_csv.h"
#include "address_keys.h"
#include "block_codec.h"
#include "kavrel/format/blocks.h"
#include "kavrel/format/coverage.h"
#include "kavrel/format/entry_cap.h"
#include "kavrel/platform/clock.h"
#include "kavrel/platform/text.h"
#include "pack_error.h"
#include "package_writer.h"

namespace kavrel::pack {

namespace {

// A field as messages quote it: in double quotes, at most its first 80
// bytes (not cutting a UTF-8 character), control characters as \xNN.
std::string Quoted(std::string_view field) {
  constexpr std::size_t kMaxQuoted = 80;
  std::size_t cut = field.size();
  if (cut > kMaxQuoted) {
    cut = kMaxQuoted;
    while (cut > 0 && (static_cast<unsigned char>(field[cut]) & 0xC0) == 0x80) --cut;
  }
  std::string out = "\"";
  for (const char c : field.substr(0, cut)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02X", byte);
      out += code;
    } else {
      out += c;
    }
  }
  out += '"';
  if (cut < field.size()) out += "... (" + std::to_string(field.size()) + " bytes)";
  return out;
}

// Reads the rows of one input file into points and key tables.
class PointCollector {
public:
  explicit PointCollector(const std::string& input) : m_reader(input) {}

  void ReadAll() {
    AddressRow row;
    while (m_reader.Next(row)) Add(row);
    if (m_points.empty()) throw PackError(m_reader.Path() + ": no address points, only a header");
  }

  std::vector<PointRecord>& Points() { return m_points; }
  const KeyTable& Prefectures() const { return m_prefectures; }
  const KeyTable& Cities() const { return m_cities; }
  const KeyTable& Areas() const { return m_areas; }
  std::uint64_t OutsideArea() const { return m_outside; }

private:
  void Add(const AddressRow& row) {
    m_row = &row;
    const double latitude = Coordinate("latitude", row.latitude, 90.0);
    const double longitude = Coordinate("longitude", row.longitude, 180.0);
    PointRecord point;
    point.latitude = MicrodegreeKey(latitude);
    point.longitude = MicrodegreeKey(longitude);
    if (point.longitude == 0) {
      // The search marks the points it has set aside by longitude 0.
      Fail("longitude " + Quoted(row.longitude) + " rounds to 0, which the engine cannot hold");
    }
    point.prefecture = static_cast<std::uint8_t>(
        KeyOf(m_prefectures, row.prefecture, row.prefecture, "prefecture", "P keys have 8 bits"));
    // A city is told apart by its prefecture: two prefectures may each have
    // a city of the same name. A line break cannot stand inside a field.
    point.city = static_cast<std::uint16_t>(
        KeyOf(m_cities, row.prefecture + '\n' + row.city, row.city, "city", "C keys have 16 bits"));
    point.area = KeyOf(m_areas, row.area, row.area, "area", "S keys have 24 bits");
    if (IsInJapanBox(latitude, longitude) == 0) ++m_outside;
    m_points.push_back(point);
  }

  double Coordinate(const char* column, const std::string& field, double limit) const {
    std::string_view digits = field;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        !std::isfinite(value)) {
      Fail(std::string(column) + " " + Quoted(field) + " is not a number");
    }
    if (value < -limit || value > limit) {
      Fail(std::string(column) + " " + Quoted(field) + " is outside -" + std::to_string(static_cast<int>(limit)) +
           ".." + std::to_string(static_cast<int>(limit)));
    }
    // Keys count microdegrees north and east of 0 in 32 bits: a negative one
    // would wrap to a place thousands of degrees away.
    if (std::llround(value * 1e6) < 0) {
      Fail(std::string(column) + " " + Quoted(field) + " is south or west of 0, which a package's keys cannot hold");
    }
    return value;
  }

  std::uint32_t KeyOf(KeyTable& table, const std::string& identity, const std::string& name,
                      const char* column, const char* width) const {
    if (const std::uint32_t key = table.Find(identity); key != 0) return key;
    std::string text;
    std::string error;
    if (!EncodeName(name, text, error)) Fail(std::string(column) + " " + Quoted(name) + " " + error);
    const std::uint32_t key = table.Add(identity, std::move(text));
    if (key == 0) {
      Fail(std::string("more than ") + std::to_string(table.MaxKey()) + " distinct " + column +
           " names (" + width + "): " + Quoted(name) + " is one too many");
    }
    return key;
  }

  [[noreturn]] void Fail(const std::string& what) const {
    throw PackError(m_reader.Path() + ":" + std::to_string(m_row->line) + ": " + what);
  }

  AddressCsvReader m_reader;
  const AddressRow* m_row = nullptr;
  std::vector<PointRecord> m_points;
  KeyTable m_prefectures{kMaxPrefectureKey};
  KeyTable m_cities{kMaxCityKey};
  KeyTable m_areas{kMaxAreaKey};
  std::uint64_t m_outside = 0;
};

std::string EntryName(const std::u16string& name) { return platform::Utf16ToUtf8(name); }

// Adds `content` raw-deflated as the entry `name`, refusing what the package
// reader would refuse as damaged: more than kMaxEntryBytes, or more than
// MaxEntryContent of what it deflates to. `what` says what the content is,
// for the message, which names the input file `input`.
void AddBlock(PackageWriter& writer, const std::string& input, const std::u16string& name, std::string_view content,
              const std::string& what) {
  const std::string refused = input + ": " + what + " (entry " + EntryName(name) + ") ";
  if (content.size() > kMaxEntryBytes) {
    throw PackError(refused + "takes " + std::to_string(content.size()) + " bytes, more than the " +
                    std::to_string(kMaxEntryBytes) + " a package entry may hold");
  }
  writer.Add(EntryName(name), content);
  const std::size_t stored = writer.Entries().back().stored.size();
  if (content.size() > MaxEntryContent(static_cast<std::uint32_t>(stored))) {
    throw PackError(refused + "deflates from " + std::to_string(content.size()) + " to " + std::to_string(stored) +
                    " bytes, more than " + std::to_string(kMaxInflationRatio) +
                    " to 1, which the package reader refuses as damaged (rows repeated many times?)");
  }
}

// One point block per band with points; `points` must be in PointOrder.
void AddPointBlocks(PackageWriter& writer, const std::string& input, const std::vector<PointRecord>& points) {
  std::string block;
  std::size_t first = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    AppendPointRecord(block, points[i]);
    const std::uint32_t band = BandOf(points[i].latitude);
    const bool bandEnds = i + 1 == points.size() || BandOf(points[i + 1].latitude) != band;
    if (bandEnds) {
      char latitude[32];
      std::snprintf(latitude, sizeof latitude, "%.2f", band / 1e6);
      AddBlock(writer, input, BuildPointBlockName(band), block,
               "the band at latitude " + std::string(latitude) + " with " + std::to_string(i + 1 - first) + " points");
      block.clear();
      first = i + 1;
    }
  }
}

// The name blocks of one level: one block for P and C, blocks of
// kAreaKeysPerBlock keys for S.
void AddNameBlocks(PackageWriter& writer, const std::string& input, NameLevel level, const KeyTable& table) {
  const std::vector<std::string>& texts = table.Texts();
  std::string block;
  for (std::uint32_t key = 1; key <= texts.size(); ++key) {
    AppendNameRecord(block, key, texts[key - 1]);
    const bool blockEnds = key == texts.size() ||
                           (level == kLevelArea && (key + 1) % kAreaKeysPerBlock == 0);
    if (blockEnds) {
      AddBlock(writer, input, BuildNameBlockName(level, key), block, "the names of a block");
      block.clear();
    }
  }
}

}  // namespace

BuildSummary BuildPackage(const std::string& input, const std::string& output,
                          std::string_view attribution) {
  const platform::Stopwatch clock;
  // A round trip through UTF-16 changes any invalid byte into U+FFFD.
  if (platform::Utf16ToUtf8(platform::Utf8ToUtf16(attribution)) != attribution) {
    throw PackError("the attribution is not valid UTF-8 text");
  }
  PointCollector collector(input);
  collector.ReadAll();
  std::vector<PointRecord>& points = collector.Points();
  std::sort(points.begin(), points.end(), PointOrder);

  PackageWriter writer(kNamesUtf8);
  AddPointBlocks(writer, input, points);
  AddNameBlocks(writer, input, kLevelPref, collector.Prefectures());
  AddNameBlocks(writer, input, kLevelCity, collector.Cities());
  AddNameBlocks(writer, input, kLevelArea, collector.Areas());
  if (!attribution.empty()) writer.Add(kAttributionEntry, attribution, kMethodStored);
  const std::string bytes = writer.Serialize();

  std::string error;
  if (!WriteFileAtomically(output, bytes, error)) throw PackError(error);

  BuildSummary summary;
  summary.points = points.size();
  summary.prefectures = collector.Prefectures().Count();
  summary.cities = collector.Cities().Count();
  summary.areas = collector.Areas().Count();
  summary.outsideArea = collector.OutsideArea();
  summary.entries = static_cast<std::uint32_t>(writer.Entries().size());
  summary.bytes = bytes.size();
  summary.milliseconds = clock.ElapsedMilliseconds();
  return summary;
}

std::string FormatSummary(const std::string& output, const BuildSummary& summary) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.2f", static_cast<double>(summary.milliseconds) / 1000.0);
  return output + ": " + std::to_string(summary.points) + " points, " + std::to_string(summary.prefectures) +
         " prefectures, " + std::to_string(summary.cities) + " cities, " + std::to_string(summary.areas) +
         " areas, " + std::to_string(summary.entries) + " entries, " + std::to_string(summary.bytes) +
         " bytes in " + seconds + " s";
}

}  // namespace kavrel::pack
