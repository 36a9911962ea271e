#include "threadsafe_lookups.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <sstream>
#include <thread>
#include <vector>

#include "failure_report.h"
#include "kavrel/platform/console.h"
#include "kavrel/platform/files.h"
#include "kavrel/platform/text.h"
#include "line_formats.h"
#include "resources/messages.h"
#include "single_lookup.h"

namespace kavrel::console {

namespace {

// Lines looked up together: enough to keep every thread busy for a while,
// few enough that the output follows the input closely.
constexpr std::size_t kBlockLines = 16384;

constexpr std::size_t kNoRow = std::numeric_limits<std::size_t>::max();

LineAnswer AnswerOf(std::int32_t result, const kavrel_answer& answer) {
  if (result != KAVREL_SUCCESS) return {};
  return {true, answer.prefecture, answer.city, answer.area, answer.distance};
}

// More threads than this only cost their start-up, block after block.
constexpr std::int32_t kMostThreads = 256;

std::int32_t ThreadCount(std::int32_t requested) {
  const unsigned cores = std::thread::hardware_concurrency();
  const std::int32_t wanted = requested != 0 ? requested : static_cast<std::int32_t>(std::max(cores, 1u));
  return std::min(wanted, kMostThreads);
}

// Answers blocks of lines with kavrel_lookup_many and writes them in the
// format of the options.
class ThreadSafeConverter : public LineConverter {
public:
  ThreadSafeConverter(const CEngineBinding::ThreadSafeEntries& entries, const kavrel_geocoder* handle,
                      const SearchSettings& settings, const ExtendedOptions& options)
      : m_entries(entries),
        m_handle(handle),
        m_query(QueryOf(settings)),
        m_threads(ThreadCount(options.threads)),
        m_formatter(options.format, settings.separator, options.distance) {}

  std::size_t BlockSize() const override { return kBlockLines; }

  void Answer(const std::vector<BatchLine>& lines, std::size_t count) override {
    m_latitudes.clear();
    m_longitudes.clear();
    m_rowOf.assign(count, kNoRow);
    for (std::size_t i = 0; i < count; ++i) {
      if (!lines[i].pair.IsComplete()) continue;
      m_rowOf[i] = m_latitudes.size();
      m_latitudes.push_back(lines[i].pair.latitude);
      m_longitudes.push_back(lines[i].pair.longitude);
    }
    const std::size_t rows = m_latitudes.size();
    m_answers.assign(rows, kavrel_answer{});
    m_results.assign(rows, KAVREL_NO_ANSWER);
    const std::int32_t result =
        m_entries.lookupMany(m_handle, rows, m_latitudes.data(), m_longitudes.data(), &m_query,
                             m_threads, m_answers.data(), m_results.data());
    // The block as a whole refused: no line of it has an answer.
    if (result != KAVREL_SUCCESS) m_results.assign(rows, result);
  }

  bool Write(RecordWriter& writer, const std::vector<BatchLine>& lines, std::size_t index,
             bool& found) override {
    const std::size_t row = m_rowOf[index];
    const LineAnswer answer = row == kNoRow ? LineAnswer{} : AnswerOf(m_results[row], m_answers[row]);
    found = answer.found;
    m_text.clear();
    m_formatter.Append(m_text, lines[index].text, lines[index].pair, answer, m_first);
    m_first = false;
    return writer.WriteBytes(m_text);
  }

private:
  const CEngineBinding::ThreadSafeEntries& m_entries;
  const kavrel_geocoder* m_handle;
  kavrel_query m_query;
  std::int32_t m_threads;
  LineFormatter m_formatter;
  bool m_first = true;
  std::vector<double> m_latitudes;
  std::vector<double> m_longitudes;
  std::vector<std::size_t> m_rowOf;  // for each line of the block, its row, or kNoRow
  std::vector<kavrel_answer> m_answers;
  std::vector<std::int32_t> m_results;
  std::string m_text;
};

// Loads the engine and opens its package; on failure message 129 and a line
// on standard error.
bool StartPackage(CEngineBinding& engine, const ExtendedOptions& options, OpenPackage& package,
                  CConsoleOutput& out) {
  if (!StartEngine(engine, DataFileOf(options), out)) return false;
  std::string why;
  if (package.Open(engine, why)) return true;
  out.Write(LoadMessage(kMsgEngineInitFailed));
  ReportOnStandardError(why);
  return false;
}

// The attribution file the build puts beside a package.
std::string AttributionBeside(const std::string& packagePath, std::string& attributionPath) {
  const std::string_view suffix = ".bin";
  const bool bin = packagePath.size() > suffix.size() &&
                   packagePath.compare(packagePath.size() - suffix.size(), suffix.size(), suffix) == 0;
  attributionPath = (bin ? packagePath.substr(0, packagePath.size() - suffix.size()) : packagePath) +
                    "-attribution.txt";
  std::string text;
  if (const platform::FileStream file = platform::OpenStream(attributionPath, platform::StreamMode::kRead)) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) text.append(buffer, n);
  }
  return text;
}

}  // namespace

OpenPackage::~OpenPackage() {
  if (m_handle != nullptr) m_close(m_handle);
}

bool OpenPackage::Open(const CEngineBinding& engine, std::string& why) {
  const CEngineBinding::ThreadSafeEntries& entries = engine.m_threadSafe;
  if (!entries.IsComplete()) {
    why = "the engine library has no thread-safe interface (kavrel_open): the options beyond "
          "/in /out /lat /lon /sep /step /width need it";
    return false;
  }
  m_path = engine.DataFilePath();
  kavrel_geocoder* handle = nullptr;
  if (const std::int32_t result = entries.open(m_path.c_str(), &handle); result != KAVREL_SUCCESS) {
    why = "cannot open the data package " + Quoted(m_path) + ": " + entries.resultText(result);
    return false;
  }
  if (m_handle != nullptr) m_close(m_handle);
  m_handle = handle;
  m_close = entries.close;
  return true;
}

std::u16string DataFileOf(const ExtendedOptions& options) {
  return options.dataPath.empty() ? std::u16string(kDataFileName) : options.dataPath;
}

bool LookupWithOptions(CEngineBinding& engine, const CkavrelCommandLineInfo& info,
                       CConsoleOutput& out, double latitude, double longitude) {
  OpenPackage package;
  if (!StartPackage(engine, info.m_extended, package, out)) return false;
  const kavrel_query query = QueryOf(info.m_settings);
  kavrel_answer found{};
  const std::int32_t result =
      engine.m_threadSafe.lookup(package.Handle(), latitude, longitude, &query, &found);
  if (result != KAVREL_SUCCESS) {
    ReportNoAddress(latitude, longitude, engine.m_threadSafe.resultText(result));
    return false;
  }
  const LineAnswer answer = AnswerOf(result, found);
  std::string bytes;
  if (info.m_extended.format == OutputFormat::kJson) {
    // JSON is UTF-8 whatever the locale, so it is written as bytes.
    LineFormatter(OutputFormat::kJson, {}, info.m_extended.distance)
        .Append(bytes, "\n", {latitude, longitude}, answer, false);
  } else {
    std::u16string address = JoinedAddress(answer, info.m_settings.separator);
    if (info.m_extended.distance) {
      std::string metres = ",";
      AppendMetres(metres, answer.distance);
      address += platform::Utf8ToUtf16(metres);
    }
    bytes = platform::Utf16ToConsole(address);
  }
  if (out.handle != kInvalidHandle && !platform::WriteAll(out.handle, bytes)) {
    ReportAddressNotWritten(errno);
    return false;
  }
  return true;
}

std::int32_t ConvertWithOptions(const CEngineBinding& engine, const SearchSettings& settings,
                                const ExtendedOptions& options, BatchJob& job) {
  StartBatchJob(job);
  OpenPackage package;
  if (!package.Open(engine, job.failure)) return kBatchPreloadRefused;
  ThreadSafeConverter converter(engine.m_threadSafe, package.Handle(), settings, options);
  return ConvertLines(converter, package.Path(), job);
}

int PrintPackageFacts(CEngineBinding& engine, const ExtendedOptions& options, CConsoleOutput& out) {
  OpenPackage package;
  if (!StartPackage(engine, options, package, out)) return 1;
  kavrel_facts facts{};
  engine.m_threadSafe.factsOf(package.Handle(), &facts);
  std::string attributionPath;
  const std::string attribution = AttributionBeside(package.Path(), attributionPath);
  std::ostringstream text;
  text << "library version: " << engine.m_threadSafe.version() << "\r\n"
       << "package: " << package.Path() << "\r\n"
       << "points: " << facts.points << "\r\n"
       << "prefectures: " << facts.prefectures << "\r\n"
       << "cities: " << facts.cities << "\r\n"
       << "areas: " << facts.areas << "\r\n";
  if (attribution.empty()) {
    text << "attribution: none beside the package (" << attributionPath << ")\r\n";
  } else {
    text << "attribution (" << attributionPath << "):\r\n" << attribution;
    if (attribution.back() != '\n') text << "\r\n";
  }
  // Paths are file system bytes and the attribution UTF-8; both are shown
  // in the console's codeset.
  out.Write(platform::Utf8ToUtf16(text.str()));
  return 0;
}

}  // namespace kavrel::console
