// The kavrel_ interface with hostile arguments, on a package made of the fuzz
// input or on the real national package: kavrel_open, then kavrel_lookup,
// kavrel_lookup_many, kavrel_name_at, kavrel_facts_of and kavrel_preload
// with coordinates, queries, thread counts, levels and indices taken from
// the input. Beyond the sanitizers, every call's answer must keep the
// interface's promises: known result codes, the empty answer without
// success, rows that match single lookups, no answer for a coordinate the
// keys cannot hold, no answer beyond the reach asked for.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "fuzz_temp.h"
#include "kavrel.h"

namespace {

// The national package (its path from the build, or KAVREL_FUZZ_NATIONAL),
// opened once for the whole run: building its nearest grid takes seconds.
const kavrel_geocoder* National() {
  static kavrel_geocoder* const handle = [] {
    const char* path = std::getenv("KAVREL_FUZZ_NATIONAL");
    kavrel_geocoder* opened = nullptr;
    if (kavrel_open(path != nullptr ? path : KAVREL_NATIONAL_PACKAGE, &opened) != KAVREL_SUCCESS) std::abort();
    return opened;
  }();
  return handle;
}

void Check(bool promise) {
  if (!promise) std::abort();
}

bool KnownCode(std::int32_t code) {
  return code == KAVREL_SUCCESS || code == KAVREL_INVALID_ARGUMENT || code == KAVREL_NO_ANSWER ||
         code == KAVREL_OUT_OF_MEMORY;
}

bool IsEmpty(const kavrel_answer& answer) {
  return answer.prefecture == nullptr && answer.city == nullptr && answer.area == nullptr &&
         answer.prefecture_key == 0 && answer.city_key == 0 && answer.area_key == 0 &&
         std::isnan(answer.latitude) && std::isnan(answer.longitude) && std::isnan(answer.distance);
}

// A coordinate: mostly near the data, sometimes anything a double can be.
double Coordinate(FuzzedDataProvider& input, double low, double high) {
  switch (input.ConsumeIntegralInRange(0, 7)) {
    case 0: return input.ConsumeFloatingPoint<double>();
    case 1: return std::numeric_limits<double>::quiet_NaN();
    case 2: return input.ConsumeBool() ? INFINITY : -INFINITY;
    case 3: return input.ConsumeFloatingPointInRange<double>(-5000.0, 5000.0);
    default: return input.ConsumeFloatingPointInRange<double>(low, high);
  }
}

// A query, any mode and any reach; step and width bounded so that a ring
// search the index cannot follow stays short (its cost is rings times
// points, which the design fixes).
kavrel_query Query(FuzzedDataProvider& input) {
  kavrel_query query{};
  query.mode = input.ConsumeIntegralInRange<std::int32_t>(-1, 2);
  query.step = input.ConsumeIntegralInRange<std::int32_t>(-2, 100000);
  query.width = input.ConsumeIntegralInRange<std::int32_t>(-2, 20000);
  switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0: query.max_distance = 0; break;
    case 1: query.max_distance = input.ConsumeFloatingPoint<double>(); break;
    case 2: query.max_distance = INFINITY; break;
    default: query.max_distance = input.ConsumeFloatingPointInRange<double>(0.0, 1e6); break;
  }
  return query;
}

bool KeysHold(double latitude, double longitude) {
  return latitude * 1e6 > -1.0 && latitude <= 90.0 && longitude * 1e6 > -1.0 && longitude <= 180.0;
}

// One lookup and the promises of its answer.
std::int32_t LookUp(const kavrel_geocoder* handle, double latitude, double longitude, const kavrel_query* query,
                    kavrel_answer& answer) {
  const std::int32_t code = kavrel_lookup(handle, latitude, longitude, query, &answer);
  Check(KnownCode(code));
  Check(IsEmpty(answer) == (code != KAVREL_SUCCESS));
  if (code != KAVREL_SUCCESS) return code;
  Check(answer.prefecture != nullptr && answer.city != nullptr && answer.area != nullptr);
  const bool nearest = query != nullptr && query->mode == KAVREL_MODE_NEAREST;
  Check(nearest ? std::fabs(latitude) <= 90.0 && std::fabs(longitude) <= 180.0 : KeysHold(latitude, longitude));
  Check(answer.distance >= 0.0);
  const double reach = query == nullptr || query->max_distance == 0
                           ? (nearest ? KAVREL_DEFAULT_REACH : INFINITY)
                           : query->max_distance;
  Check(answer.distance <= reach);
  return code;
}

void Exercise(const kavrel_geocoder* handle, FuzzedDataProvider& input) {
  const int calls = input.ConsumeIntegralInRange(1, 6);
  for (int c = 0; c < calls && input.remaining_bytes() > 0; ++c) {
    switch (input.ConsumeIntegralInRange(0, 4)) {
      case 0: {
        const kavrel_query query = Query(input);
        const bool defaults = input.ConsumeBool();
        const double latitude = Coordinate(input, 20.0, 50.0);
        const double longitude = Coordinate(input, 120.0, 155.0);
        kavrel_answer answer;
        LookUp(handle, latitude, longitude, defaults ? nullptr : &query, answer);
        break;
      }
      case 1: {
        const kavrel_query query = Query(input);
        const std::size_t rows = input.ConsumeIntegralInRange<std::size_t>(0, 12);
        std::vector<double> latitudes(rows), longitudes(rows);
        for (std::size_t i = 0; i < rows; ++i) {
          latitudes[i] = Coordinate(input, 20.0, 50.0);
          longitudes[i] = Coordinate(input, 120.0, 155.0);
        }
        // Any thread count: the call starts no more than its rows.
        const std::int32_t threads = input.ConsumeIntegral<std::int32_t>();
        std::vector<kavrel_answer> answers(rows);
        std::vector<std::int32_t> results(rows, 1);
        const std::int32_t code = kavrel_lookup_many(handle, rows, latitudes.data(), longitudes.data(), &query,
                                                     threads, answers.data(), results.data());
        Check(KnownCode(code));
        if (code != KAVREL_SUCCESS) {
          Check(code != KAVREL_INVALID_ARGUMENT || threads < 0 || query.mode < 0 || query.mode > 1 ||
                query.step < 0 || query.width < 0 || !(query.max_distance >= 0));
          break;
        }
        for (std::size_t i = 0; i < rows; ++i) {
          kavrel_answer single;
          const std::int32_t alone = LookUp(handle, latitudes[i], longitudes[i], &query, single);
          Check(results[i] == alone || results[i] == KAVREL_OUT_OF_MEMORY || alone == KAVREL_OUT_OF_MEMORY);
          if (alone == KAVREL_SUCCESS && results[i] == KAVREL_SUCCESS) {
            Check(answers[i].area == single.area && answers[i].area_key == single.area_key);
          }
        }
        break;
      }
      case 2: {
        const std::int32_t level = input.ConsumeIntegralInRange<std::int32_t>(-1, 3);
        const std::uint64_t index = input.ConsumeBool() ? input.ConsumeIntegral<std::uint64_t>()
                                                        : input.ConsumeIntegralInRange<std::uint64_t>(0, 300);
        std::uint32_t key = 0;
        const char* name = nullptr;
        const std::int32_t code = kavrel_name_at(handle, level, index, &key, &name);
        Check(code == KAVREL_SUCCESS || code == KAVREL_INVALID_ARGUMENT || code == KAVREL_OUT_OF_MEMORY);
        kavrel_facts facts{};
        if (kavrel_facts_of(handle, &facts) != KAVREL_SUCCESS) break;
        const std::uint64_t counts[3] = {facts.prefectures, facts.cities, facts.areas};
        const bool inRange = level >= 0 && level <= 2 && index < counts[level];
        Check((code == KAVREL_SUCCESS) == inRange || code == KAVREL_OUT_OF_MEMORY);
        if (code == KAVREL_SUCCESS) Check(name != nullptr);
        break;
      }
      case 3: {
        const std::int32_t mode = input.ConsumeIntegralInRange<std::int32_t>(-1, 2);
        const std::int32_t code = kavrel_preload(handle, mode);
        Check(code == (mode == 0 || mode == 1 ? KAVREL_SUCCESS : KAVREL_INVALID_ARGUMENT) ||
              code == KAVREL_OUT_OF_MEMORY);
        break;
      }
      default: {
        // NULL wherever the interface allows none.
        kavrel_answer answer;
        Check(kavrel_lookup(nullptr, 35.0, 139.0, nullptr, &answer) == KAVREL_INVALID_ARGUMENT);
        Check(kavrel_lookup(handle, 35.0, 139.0, nullptr, nullptr) == KAVREL_INVALID_ARGUMENT);
        Check(kavrel_lookup_many(handle, 1, nullptr, nullptr, nullptr, 1, &answer, nullptr) ==
              KAVREL_INVALID_ARGUMENT);
        Check(kavrel_facts_of(handle, nullptr) == KAVREL_INVALID_ARGUMENT);
        Check(kavrel_name_at(handle, 0, 0, nullptr, nullptr) == KAVREL_INVALID_ARGUMENT);
        break;
      }
    }
  }
}

}  // namespace

// The first byte picks the package: odd, the national one, with the rest of
// the input as the calls; even, a package made of the bytes after the calls'
// share (the first 64 bytes after it, or all when fewer).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if ((data[0] & 1) != 0) {
    FuzzedDataProvider input(data + 1, size - 1);
    Exercise(National(), input);
    return 0;
  }
  const std::size_t calls = std::min<std::size_t>(size - 1, 64);
  const std::string path = kavrel::fuzz::WriteTempFile(
      "interface.bin", std::string(reinterpret_cast<const char*>(data) + 1 + calls, size - 1 - calls));
  kavrel_geocoder* handle = nullptr;
  const std::int32_t opened = kavrel_open(path.c_str(), &handle);
  Check(opened == KAVREL_SUCCESS || opened == KAVREL_PACKAGE_DAMAGED || opened == KAVREL_PACKAGE_NOT_FOUND ||
        opened == KAVREL_OUT_OF_MEMORY);
  Check((opened == KAVREL_SUCCESS) == (handle != nullptr));
  if (handle == nullptr) return 0;
  FuzzedDataProvider input(data + 1, calls);
  Exercise(handle, input);
  kavrel_close(handle);
  return 0;
}
