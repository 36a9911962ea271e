// The preloaded lookup side by side with a plain true-nearest grid, in one
// process and run, on queries a cache has not seen: each round draws 100,000
// distinct coordinates near real address points (seeded; no coordinate comes
// twice in the whole run) and times, on handles loaded up front,
//   designed  ReverseGeocoding after PreloadData, the UTF-16 text read back;
//   nearest   kavrel_lookup in KAVREL_MODE_NEAREST, the UTF-8 texts read;
//   grid      the reference of nearest_reference.h writing the same text.
// The three take turns going first. Each round prints CPU ns/lookup (the
// thread's CPU time, which other work on the machine disturbs less than the
// wall clock), the ratio
// designed / grid and the load average; the last line the medians, and the
// resident memory each structure added.
//
// Usage: kavrel_lookup_versus_grid_bench [package] [rounds]
// The package is the argument, else $KAVREL_PACKAGE, else the national
// package of the build.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "bench_support.h"
#include "kavrel.h"
#include "kavrel/platform/files.h"
#include "kavrel/platform/text.h"
#include "kavrelcore.h"
#include "nearest_reference.h"

namespace {

using kavrel::bench::Coordinate;
constexpr std::size_t kQueries = 100000;
constexpr int kDefaultRounds = 5;
constexpr std::size_t kTextCapacity = 512;

// Draws `count` coordinates within 0.003 degree of random points, none of
// whose microdegree keys was drawn before (`seen` remembers them).
std::vector<Coordinate> DistinctNear(const std::vector<kavrel::PointRecord>& points, std::size_t count,
                                     std::mt19937_64& random, std::unordered_set<std::uint64_t>& seen) {
  std::uniform_int_distribution<std::size_t> pick(0, points.size() - 1);
  std::uniform_real_distribution<double> jitter(-0.003, 0.003);
  std::vector<Coordinate> queries;
  queries.reserve(count);
  while (queries.size() < count) {
    const kavrel::PointRecord& town = points[pick(random)];
    const double dLat = jitter(random);
    const double dLon = jitter(random);
    const Coordinate c{town.latitude / 1e6 + dLat, town.longitude / 1e6 + dLon};
    const auto latKey = static_cast<std::uint64_t>(std::llround(c.latitude * 1e6));
    const auto lonKey = static_cast<std::uint64_t>(std::llround(c.longitude * 1e6));
    if (seen.insert(latKey << 32 | lonKey).second) queries.push_back(c);
  }
  return queries;
}

std::uint64_t Sum(const char16_t* text, std::size_t length) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < length; ++i) sum += text[i];
  return sum;
}

std::uint64_t Sum(const char* text) {
  std::uint64_t sum = 0;
  for (; *text != 0; ++text) sum += static_cast<unsigned char>(*text);
  return sum;
}

// The three contenders over one set of queries; each returns a sum of the
// texts it read, so that no work can be left out.
struct Contenders {
  const kavrel_geocoder* handle;
  const kavrel::bench::NearestReference* grid;

  static std::uint64_t Designed(const std::vector<Coordinate>& queries) {
    kavrel_char buffer[kTextCapacity];
    std::uint64_t sum = 0;
    for (const Coordinate& c : queries) {
      std::uint32_t length = kTextCapacity;
      if (ReverseGeocoding(c.latitude, c.longitude, buffer, &length, nullptr) == KAVREL_OK) {
        sum += Sum(reinterpret_cast<const char16_t*>(buffer), std::char_traits<kavrel_char>::length(buffer));
      }
    }
    return sum;
  }
  std::uint64_t Nearest(const std::vector<Coordinate>& queries) const {
    const kavrel_query query = {KAVREL_MODE_NEAREST, 0, 0, 0};
    std::uint64_t sum = 0;
    kavrel_answer answer;
    for (const Coordinate& c : queries) {
      if (kavrel_lookup(handle, c.latitude, c.longitude, &query, &answer) == KAVREL_SUCCESS) {
        sum += Sum(answer.prefecture) + Sum(answer.city) + Sum(answer.area);
      }
    }
    return sum;
  }
  std::uint64_t Grid(const std::vector<Coordinate>& queries) const {
    char16_t buffer[kTextCapacity];
    std::uint64_t sum = 0;
    for (const Coordinate& c : queries) {
      const std::int64_t length = grid->Lookup(c.latitude, c.longitude, buffer, kTextCapacity);
      if (length >= 0) sum += Sum(buffer, static_cast<std::size_t>(length));
    }
    return sum;
  }
};

// The thread's CPU time in nanoseconds: on a machine shared with other
// work, the wall clock also counts the time others hold the core.
double ThreadNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// CPU nanoseconds per query of one pass of `work` over `queries`.
template <typename Work>
double NanosecondsPerQuery(const std::vector<Coordinate>& queries, Work&& work, std::uint64_t& sink) {
  const double start = ThreadNanoseconds();
  sink += work(queries);
  return (ThreadNanoseconds() - start) / static_cast<double>(queries.size());
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The names of a handle's keys in UTF-16, for the reference.
std::vector<std::vector<std::pair<std::uint32_t, std::u16string>>> HandleNames(const kavrel_geocoder* handle) {
  kavrel_facts facts{};
  kavrel_facts_of(handle, &facts);
  const std::uint64_t counts[] = {facts.prefectures, facts.cities, facts.areas};
  std::vector<std::vector<std::pair<std::uint32_t, std::u16string>>> names(3);
  for (int level = 0; level < 3; ++level) {
    for (std::uint64_t i = 0; i < counts[level]; ++i) {
      std::uint32_t key = 0;
      const char* name = nullptr;
      if (kavrel_name_at(handle, level, i, &key, &name) == KAVREL_SUCCESS) {
        names[static_cast<std::size_t>(level)].emplace_back(key, kavrel::platform::Utf8ToUtf16(name));
      }
    }
  }
  return names;
}

// The share of `queries` where the grid's text is that of kavrel_lookup in
// nearest mode: both are nearest points, by slightly different distances,
// so nearly all should agree; a grid that answered wrongly would not.
double Agreement(const Contenders& contenders, const std::vector<Coordinate>& queries) {
  const kavrel_query query = {KAVREL_MODE_NEAREST, 0, 0, 0};
  std::size_t same = 0;
  char16_t buffer[kTextCapacity];
  for (const Coordinate& c : queries) {
    kavrel_answer answer;
    const std::int64_t length = contenders.grid->Lookup(c.latitude, c.longitude, buffer, kTextCapacity);
    if (length < 0 || kavrel_lookup(contenders.handle, c.latitude, c.longitude, &query, &answer) != KAVREL_SUCCESS) {
      continue;
    }
    const std::string text = std::string(answer.prefecture) + "," + answer.city + "," + answer.area;
    same += kavrel::platform::Utf8ToUtf16(text) == std::u16string_view(buffer, static_cast<std::size_t>(length));
  }
  return static_cast<double>(same) / static_cast<double>(queries.size());
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path = kavrel::bench::PackagePath(argc, argv);
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : kDefaultRounds;
  const std::vector<kavrel::PointRecord> points = kavrel::bench::PackageRecords(path);
  const std::u16string packagePath = kavrel::platform::Utf8ToUtf16(path);
  kavrel_geocoder* handle = nullptr;
  if (points.empty() || Initialize(reinterpret_cast<const kavrel_char*>(packagePath.c_str())) != KAVREL_OK ||
      kavrel_open(path.c_str(), &handle) != KAVREL_SUCCESS) {
    std::fprintf(stderr, "cannot open a package at %s (give its path or set KAVREL_PACKAGE)\n", path.c_str());
    return 1;
  }
  const double startMiB = kavrel::bench::MemoryMiB("VmRSS");
  SetStep(KAVREL_DEFAULT_STEP, KAVREL_DEFAULT_WIDTH);
  SetSeparator(reinterpret_cast<const kavrel_char*>(u","));
  PreloadData();
  const double designedMiB = kavrel::bench::MemoryMiB("VmRSS");
  kavrel_preload(handle, KAVREL_MODE_NEAREST);
  const double handleMiB = kavrel::bench::MemoryMiB("VmRSS");
  const auto names = HandleNames(handle);
  const kavrel::bench::NearestReference grid(points, u",", [&](int level, std::uint32_t key) {
    const auto& list = names[static_cast<std::size_t>(level)];
    const auto found = std::lower_bound(list.begin(), list.end(), key,
                                        [](const auto& entry, std::uint32_t k) { return entry.first < k; });
    return found != list.end() && found->first == key ? found->second : std::u16string();
  });
  const double gridMiB = kavrel::bench::MemoryMiB("VmRSS");
  std::printf("%zu points; resident MiB added: PreloadData %.1f, kavrel_preload(nearest) %.1f, grid %.1f\n",
              points.size(), designedMiB - startMiB, handleMiB - designedMiB, gridMiB - handleMiB);
  std::printf("round  designed_ns  nearest_ns  grid_ns  designed/grid  load\n");

  const Contenders contenders{handle, &grid};
  std::mt19937_64 random(20261209);
  std::unordered_set<std::uint64_t> seen;
  std::vector<double> designed, nearest, reference, ratios;
  std::uint64_t sink = 0;
  for (int round = 0; round < rounds; ++round) {
    const std::vector<Coordinate> queries = DistinctNear(points, kQueries, random, seen);
    double ns[3] = {};
    for (int turn = 0; turn < 3; ++turn) {
      const int which = (round + turn) % 3;
      if (which == 0) ns[0] = NanosecondsPerQuery(queries, Contenders::Designed, sink);
      if (which == 1) ns[1] = NanosecondsPerQuery(queries, [&](const auto& q) { return contenders.Nearest(q); }, sink);
      if (which == 2) ns[2] = NanosecondsPerQuery(queries, [&](const auto& q) { return contenders.Grid(q); }, sink);
    }
    designed.push_back(ns[0]);
    nearest.push_back(ns[1]);
    reference.push_back(ns[2]);
    ratios.push_back(ns[0] / ns[2]);
    std::printf("%5d  %11.0f  %10.0f  %7.0f  %13.2f  %s\n", round + 1, ns[0], ns[1], ns[2], ns[0] / ns[2],
                kavrel::bench::LoadAverage().c_str());
  }
  std::printf("grid text equal to nearest mode's on 10,000 more queries: %.2f%%\n",
              100 * Agreement(contenders, DistinctNear(points, kQueries / 10, random, seen)));
  std::printf("median %11.0f  %10.0f  %7.0f  %13.2f  (%zu distinct queries a round; text sum %llu)\n",
              Median(designed), Median(nearest), Median(reference), Median(ratios), kQueries,
              static_cast<unsigned long long>(sink));
  kavrel_close(handle);
  Cleanup();
  return 0;
}
