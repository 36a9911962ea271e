#include "handle_backend.h"

#include <algorithm>
#include <array>
#include <thread>

#include "batch.h"
#include "failure_report.h"
#include "kavrel/platform/files.h"

namespace kavrel::console {

namespace {

std::int32_t ThreadCount(std::int32_t requested) {
  const unsigned cores = std::thread::hardware_concurrency();
  const std::int32_t wanted = requested != 0 ? requested : static_cast<std::int32_t>(std::max(cores, 1u));
  return std::min<std::int32_t>(wanted, KAVREL_MAX_THREADS);
}

}  // namespace

HandleBackend::HandleBackend(CEngineBinding& engine, std::int32_t threads)
    : m_engine(engine), m_threads(ThreadCount(threads)) {}

HandleBackend::~HandleBackend() {
  if (m_handle != nullptr) m_entries->close(m_handle);
}

bool HandleBackend::Start(const std::u16string& dataFile, std::string& why) {
  if (const std::int32_t bound = m_engine.BindLibrary(); bound != 0) {
    why = m_engine.DescribeLoadFailure(bound);
    return false;
  }
  m_entries = m_engine.ThreadSafe();
  if (m_entries == nullptr) {
    why = "the engine library has no thread-safe interface (kavrel_open): the options beyond "
          "/in /out /lat /lon /sep /step /width need it";
    return false;
  }
  const std::vector<std::string> folders = m_engine.PackageFolders();
  const std::vector<std::string> candidates = PackageCandidates(dataFile, folders);
  const auto found = std::find_if(candidates.begin(), candidates.end(), platform::FileExists);
  if (found == candidates.end()) {
    why = DescribeMissingPackage(dataFile, folders);
    return false;
  }
  m_path = *found;
  if (const std::int32_t result = m_entries->open(m_path.c_str(), &m_handle); result != KAVREL_SUCCESS) {
    if (result == KAVREL_PACKAGE_DAMAGED) {
      why = DescribeDamagedPackage(m_path);
    } else if (result == KAVREL_PACKAGE_NOT_FOUND) {
      why = "cannot open the data package " + Quoted(m_path) + ": " + PackageOpenFailure(m_path);
    } else {
      why = "cannot open the data package " + Quoted(m_path) + ": " + m_entries->resultText(result);
    }
    return false;
  }
  return true;
}

std::int32_t HandleBackend::Prepare(const SearchSettings& settings, bool, std::string&) {
  m_query = QueryOf(settings);
  // Nothing is made up front: each band and name block is made by the
  // conversion thread whose lookup first touches it, so that the threads
  // share the making (a preload would be one thread's work before any
  // lookup), and a short input makes only what it touches. The answers are
  // the same either way; should memory run out, the lookups report it.
  return kBatchCompleted;
}

void HandleBackend::Lookup(const double* latitudes, const double* longitudes, std::size_t count,
                           PointAnswer* answers) {
  // The conversion runs its blocks on its threads: one lookup thread each,
  // in pieces whose answers fit on the stack, so that threads never wait on
  // each other's allocations.
  constexpr std::size_t kPiece = 256;
  std::array<kavrel_answer, kPiece> found;
  std::array<std::int32_t, kPiece> results;
  for (std::size_t start = 0; start < count; start += kPiece) {
    const std::size_t n = std::min(kPiece, count - start);
    // A call that succeeds writes every answer and result; one refused as a
    // whole writes none, and none is read.
    const std::int32_t result = m_entries->lookupMany(m_handle, n, latitudes + start, longitudes + start,
                                                      &m_query, 1, found.data(), results.data());
    for (std::size_t i = 0; i < n; ++i) {
      PointAnswer& answer = answers[start + i];
      answer.result = result != KAVREL_SUCCESS ? result : results[i];
      const kavrel_answer& names = found[i];
      answer.names = answer.Found() ? LineAnswer{true, names.prefecture, names.city, names.area, names.distance}
                                    : LineAnswer{};
    }
  }
}

std::string HandleBackend::Meaning(std::int32_t result) const { return m_entries->resultText(result); }

kavrel_facts HandleBackend::Facts() const {
  kavrel_facts facts{};
  m_entries->factsOf(m_handle, &facts);
  return facts;
}

std::string HandleBackend::EmbeddedAttribution() const {
  const char* text = m_entries->attribution != nullptr ? m_entries->attribution(m_handle) : nullptr;
  return text != nullptr ? text : "";
}

std::string HandleBackend::LibraryVersion() const { return m_entries->version(); }

}  // namespace kavrel::console
