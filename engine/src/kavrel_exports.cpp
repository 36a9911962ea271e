// The exported kavrel_ functions: handles over Geocoder, and at each export
// one try/catch that turns any failure into its result code.
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <functional>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "engine_app.h"
#include "geocoder.h"
#include "kavrel/platform/text.h"
#include "lookup_parts.h"
#include "kavrel.h"
#include "kavrel_results.h"

struct kavrel_geocoder {
  std::unique_ptr<kavrel::Geocoder> geocoder;
};

namespace {

// Runs `work`, turning what it throws into a result code: out of memory, or
// a text converter that the system lacks.
template <typename Work>
int32_t Guarded(Work&& work) {
  try {
    work();
    return KAVREL_SUCCESS;
  } catch (const std::bad_alloc&) {
    return KAVREL_OUT_OF_MEMORY;
  } catch (...) {
    return KAVREL_PACKAGE_NOT_FOUND;
  }
}

// Rows [begin, end) of a lookup_many call, in chunks: the chunk's searches
// first, then its answers.
void LookupRows(const kavrel::Geocoder& geocoder, const kavrel::LookupQuery& query, std::size_t begin,
                std::size_t end, const double* latitudes, const double* longitudes, kavrel_answer* answers,
                int32_t* results) {
  // Lookups mostly wait for memory: a nearest search for the home cell's
  // entry and then its points, an answer for its point's match (nearest
  // mode) and then the entry of its area's name. Each is asked for ahead,
  // so that it arrives while other rows are looked up: the cells some rows
  // before their search, the matches as the chunk is searched, the names'
  // entries some rows before their answer.
  constexpr std::size_t kAhead = 8;
  constexpr std::size_t kChunk = 64;
  const bool nearest = query.mode == KAVREL_MODE_NEAREST;
  kavrel::Geocoder::Found found[kChunk];
  for (std::size_t first = begin; first < end; first += kChunk) {
    const std::size_t rows = std::min(kChunk, end - first);
    for (std::size_t j = 0; j < rows; ++j) {
      const std::size_t i = first + j;
      if (nearest && i + 2 * kAhead < end) geocoder.PrefetchNearest(latitudes[i + 2 * kAhead], longitudes[i + 2 * kAhead], 0);
      if (nearest && i + kAhead < end) geocoder.PrefetchNearest(latitudes[i + kAhead], longitudes[i + kAhead], 1);
      found[j] = geocoder.Search(latitudes[i], longitudes[i], query);
      geocoder.PrefetchAnswer(found[j], 0);
    }
    for (std::size_t j = 0; j < std::min(kAhead, rows); ++j) geocoder.PrefetchAnswer(found[j], 1);
    for (std::size_t j = 0; j < rows; ++j) {
      if (j + kAhead < rows) geocoder.PrefetchAnswer(found[j + kAhead], 1);
      const int32_t result = geocoder.Answer(found[j], answers[first + j]);
      if (results != nullptr) results[first + j] = result;
    }
  }
}

}  // namespace

extern "C" {

KAVREL_EXPORT const char* kavrel_version(void) { return KAVREL_VERSION_STRING; }

KAVREL_EXPORT uint32_t kavrel_abi(size_t* query_size, size_t* answer_size, size_t* facts_size) {
  if (query_size != nullptr) *query_size = sizeof(kavrel_query);
  if (answer_size != nullptr) *answer_size = sizeof(kavrel_answer);
  if (facts_size != nullptr) *facts_size = sizeof(kavrel_facts);
  return KAVREL_ABI_VERSION;
}

KAVREL_EXPORT const char* kavrel_result_text(int32_t code) {
  const char* meaning = kavrel_result_meaning(code);
  return meaning != nullptr ? meaning : "unknown result code";
}

KAVREL_EXPORT int32_t kavrel_open(const char* path, kavrel_geocoder** handle) {
  if (handle == nullptr) return KAVREL_INVALID_ARGUMENT;
  *handle = nullptr;
  int32_t result = KAVREL_SUCCESS;
  const int32_t made = Guarded([&] {
    auto opened = std::make_unique<kavrel_geocoder>();
    result = kavrel::Geocoder::Open(path, opened->geocoder);
    if (result == KAVREL_SUCCESS) *handle = opened.release();
  });
  return made != KAVREL_SUCCESS ? made : result;
}

namespace {

// Hands `text` over as kavrel_default_package and kavrel_package_folder do:
// its length always, the bytes with a zero only when the buffer holds both.
int32_t CopyOut(const std::string& text, char* buffer, size_t capacity, size_t* length) {
  *length = text.size();
  if (buffer == nullptr || capacity <= text.size()) return KAVREL_INVALID_ARGUMENT;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return KAVREL_SUCCESS;
}

}  // namespace

KAVREL_EXPORT int32_t kavrel_default_package(char* buffer, size_t capacity, size_t* length) {
  if (length == nullptr) return KAVREL_INVALID_ARGUMENT;
  *length = 0;
  std::string path;
  const int32_t found = Guarded([&] {
    const std::optional<std::u16string> file = kavrel::FindDataFile(kavrel::kDefaultDataFile, true);
    if (file) path = kavrel::platform::Utf16ToUtf8(*file);
  });
  if (found != KAVREL_SUCCESS) return found;
  if (path.empty()) return KAVREL_PACKAGE_NOT_FOUND;
  return CopyOut(path, buffer, capacity, length);
}

KAVREL_EXPORT int32_t kavrel_package_folder(size_t index, char* buffer, size_t capacity, size_t* length) {
  if (length == nullptr) return KAVREL_INVALID_ARGUMENT;
  *length = 0;
  std::vector<std::string> folders;
  const int32_t listed = Guarded([&] { folders = kavrel::PackageFolders(false); });
  if (listed != KAVREL_SUCCESS) return listed;
  if (index >= folders.size()) return KAVREL_PACKAGE_NOT_FOUND;
  return CopyOut(folders[index], buffer, capacity, length);
}

KAVREL_EXPORT void kavrel_close(kavrel_geocoder* handle) { std::unique_ptr<kavrel_geocoder> closed(handle); }

KAVREL_EXPORT int32_t kavrel_preload(const kavrel_geocoder* handle, int32_t mode) {
  if (handle == nullptr || (mode != KAVREL_MODE_DESIGNED && mode != KAVREL_MODE_NEAREST)) {
    return KAVREL_INVALID_ARGUMENT;
  }
  return Guarded([&] { handle->geocoder->Preload(mode); });
}

KAVREL_EXPORT int32_t kavrel_facts_of(const kavrel_geocoder* handle, kavrel_facts* facts) {
  if (handle == nullptr || facts == nullptr) return KAVREL_INVALID_ARGUMENT;
  return Guarded([&] { *facts = handle->geocoder->Facts(); });
}

KAVREL_EXPORT const char* kavrel_attribution(const kavrel_geocoder* handle) {
  return handle != nullptr ? handle->geocoder->Attribution() : nullptr;
}

KAVREL_EXPORT int32_t kavrel_lookup(const kavrel_geocoder* handle, double latitude, double longitude,
                                    const kavrel_query* query, kavrel_answer* answer) {
  if (handle == nullptr || answer == nullptr) return KAVREL_INVALID_ARGUMENT;
  kavrel::LookupQuery checked;
  if (kavrel::CheckQuery(query, checked) != KAVREL_SUCCESS) {
    kavrel::SetEmptyAnswer(*answer);
    return KAVREL_INVALID_ARGUMENT;
  }
  return handle->geocoder->Lookup(latitude, longitude, checked, *answer);
}

KAVREL_EXPORT int32_t kavrel_lookup_many(const kavrel_geocoder* handle, size_t count, const double* latitudes,
                                         const double* longitudes, const kavrel_query* query, int32_t threads,
                                         kavrel_answer* answers, int32_t* results) {
  if (handle == nullptr || threads < 0) return KAVREL_INVALID_ARGUMENT;
  if (count > 0 && (latitudes == nullptr || longitudes == nullptr || answers == nullptr)) {
    return KAVREL_INVALID_ARGUMENT;
  }
  kavrel::LookupQuery checked;
  if (kavrel::CheckQuery(query, checked) != KAVREL_SUCCESS) return KAVREL_INVALID_ARGUMENT;
  const kavrel::Geocoder& geocoder = *handle->geocoder;
  // Many rows touch most of the package: making it all ahead, once, costs
  // less than the threads waiting on each other's first touches.
  if (count >= KAVREL_PRELOAD_ROWS) {
    const int32_t preloaded = Guarded([&] { geocoder.Preload(checked.mode); });
    if (preloaded != KAVREL_SUCCESS) return preloaded;
  }
  const std::size_t parts = kavrel::LookupParts(count, threads);
  if (parts == 0) return KAVREL_SUCCESS;

  // Contiguous parts of nearly equal size; part p starts at Begin(p).
  const auto begin = [count, parts](std::size_t p) {
    return count / parts * p + std::min(p, count % parts);
  };
  std::vector<std::thread> helpers;
  try {
    helpers.reserve(parts - 1);
  } catch (...) {
    return KAVREL_OUT_OF_MEMORY;
  }
  for (std::size_t p = 1; p < parts; ++p) {
    try {
      helpers.emplace_back(LookupRows, std::cref(geocoder), std::cref(checked), begin(p), begin(p + 1),
                           latitudes, longitudes, answers, results);
    } catch (...) {
      // No thread to be had: this part is done here instead.
      LookupRows(geocoder, checked, begin(p), begin(p + 1), latitudes, longitudes, answers, results);
    }
  }
  LookupRows(geocoder, checked, 0, begin(1), latitudes, longitudes, answers, results);
  for (std::thread& helper : helpers) helper.join();
  return KAVREL_SUCCESS;
}

KAVREL_EXPORT int32_t kavrel_name_at(const kavrel_geocoder* handle, int32_t level, uint64_t index, uint32_t* key,
                                     const char** name) {
  if (handle == nullptr || key == nullptr || name == nullptr) return KAVREL_INVALID_ARGUMENT;
  if (level < KAVREL_LEVEL_PREFECTURE || level > KAVREL_LEVEL_AREA) return KAVREL_INVALID_ARGUMENT;
  const kavrel::Geocoder& geocoder = *handle->geocoder;
  std::size_t count = 0;
  const int32_t counted = Guarded([&] { count = geocoder.KeyCount(level); });
  if (counted != KAVREL_SUCCESS) return counted;
  if (index >= count) return KAVREL_INVALID_ARGUMENT;
  return Guarded([&] {
    const std::uint32_t found = geocoder.KeyAt(level, static_cast<std::size_t>(index));
    *name = geocoder.NameOf(level, found);
    *key = found;
  });
}

}  // extern "C"
