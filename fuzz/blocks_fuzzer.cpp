// Structure-aware: the fuzz input becomes the content of two point blocks and
// of the P, C and S name blocks, wrapped into a sound package (entries stored,
// or deflated by the writer), so that every run reaches the point loading, the
// ring search and the name lookup with hostile records. The engine's search
// and name lookup are also checked against a plain reading of their rules on
// the same block contents, and its whole lookup, preloaded (the search index)
// and not (the one-pass ranking of the loaded list), against the ring search
// run ring by ring.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "designed_lookup.h"
#include "engine_app.h"
#include "fuzz_temp.h"
#include "kavrel/platform/text.h"
#include "package_writer.h"
#include "search.h"

namespace {

constexpr std::uint32_t kBand = 35680000;  // the band of the queries

struct Step {
  std::int32_t step;
  std::int32_t width;
};
// The last two: a step times width that wraps at 32 bits, and one that
// wraps negative, so the defaults apply.
constexpr Step kSteps[] = {{100, 300}, {50, 3000}, {100, 200},     {30000, 1},
                           {1, 30000}, {1, 1},     {65536, 65537}, {46341, 46341}};

std::string Chunk(FuzzedDataProvider& input) {
  return input.ConsumeBytesAsString(input.ConsumeIntegralInRange<std::size_t>(0, input.remaining_bytes()));
}

std::uint32_t U32(const std::string& b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

struct RefPoint {
  std::uint32_t lat, lon, pref, city, area;
};

// The search by its rules over the whole records of both blocks, lower band
// first. Returns the winner's index or -1.
int ReferenceSearch(const std::string& lower, const std::string& own, std::uint32_t latKey,
                    std::uint32_t lonKey, std::int32_t step, std::int32_t width, std::vector<RefPoint>& points) {
  for (const std::string* block : {&lower, &own}) {
    for (std::size_t r = 0; r + 15 <= block->size(); r += 15) {
      const std::string& b = *block;
      points.push_back({U32(b, r), U32(b, r + 4), static_cast<unsigned char>(b[r + 8]),
                        U32(b, r + 9) & 0xFFFF, U32(b, r + 11) >> 8});
    }
  }
  const int n = static_cast<int>(points.size());
  if (n == 0 || width <= 0) return -1;
  int start = 0;
  if (n > 1) {
    int lo = 0, hi = n, probe = 0;
    while (hi - lo > 1) {
      probe = lo + (hi - lo + 1) / 2;
      if (points[probe].lat == latKey) break;
      if (points[probe].lat > latKey) hi = probe; else lo = probe;
    }
    start = probe;
  }
  int lo = start, hi = start, best = -1;
  std::int64_t radius = step, bestDistance = 99999999;
  const std::int64_t limit = static_cast<std::int32_t>(static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(step));
  auto diff = [](std::uint32_t a, std::uint32_t b) { return static_cast<std::int64_t>(static_cast<std::int32_t>(a - b)); };
  for (int ring = 0; ring < width; ++ring) {
    while (lo > 0 && diff(latKey, points[lo].lat) <= radius) --lo;
    while (hi < n - 1 && diff(points[hi].lat, latKey) <= radius) ++hi;
    for (int i = lo; i <= hi; ++i) {
      if (points[i].lon == 0) continue;
      const std::int64_t d = std::llabs(diff(points[i].lon, lonKey));
      if (d <= radius && d < bestDistance) {
        best = i;
        bestDistance = d;
      }
      if (d > limit) points[i].lon = 0;
    }
    if (best >= 0) return best;
    radius = static_cast<std::int32_t>(static_cast<std::uint32_t>(radius) + static_cast<std::uint32_t>(step));
  }
  return -1;
}

// The name of `key` by the lookup's rules in the block `block` (nothing when
// the engine would look in another block).
bool ReferenceName(const std::string* block, std::uint32_t key, std::u16string& name) {
  name.clear();
  if (block == nullptr) return false;
  std::size_t offset = 0;
  while (offset + 5 <= block->size()) {
    const std::uint32_t length = static_cast<unsigned char>((*block)[offset + 4]);
    if (offset + 5 + length > block->size()) return false;
    if (U32(*block, offset) == key) {
      if (length == 0) return false;
      name = kavrel::platform::Cp932ToUtf16(block->substr(offset + 5, length));
      name.resize(std::char_traits<char16_t>::length(name.c_str()));
      return true;
    }
    offset += 5 + length;
  }
  return false;
}

[[noreturn]] void Mismatch(const char* what) {
  std::fprintf(stderr, "mismatch: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool preload = input.ConsumeBool();
  const bool deflate = input.ConsumeBool();
  const Step step = input.PickValueInArray(kSteps);
  const std::uint32_t latitudeOffset = input.ConsumeIntegralInRange<std::uint32_t>(0, 9999);
  const std::uint32_t longitudeKey = input.ConsumeIntegral<std::uint32_t>();
  const std::uint32_t extraKey = input.ConsumeIntegral<std::uint32_t>();

  const std::string lower = Chunk(input);   // band 35670000
  const std::string own = Chunk(input);     // band 35680000
  const std::string prefectures = Chunk(input);
  const std::string cities = Chunk(input);
  const std::string areas = input.ConsumeRemainingBytesAsString();

  const std::uint8_t method = deflate ? kavrel::kMethodDeflate : kavrel::kMethodStored;
  kavrel::pack::PackageWriter writer(kavrel::kNamesUtf8);
  writer.Add("/L3/5/LLP35670000.gzbin", lower, method, 1);
  writer.Add("/L3/5/LLP35680000.gzbin", own, method, 1);
  writer.Add("/P/000000.gzbin", prefectures, method, 1);
  writer.Add("/C/000000.gzbin", cities, method, 1);
  writer.Add("/S/000000.gzbin", areas, method, 1);
  const std::string path = kavrel::fuzz::WriteTempFile("blocks.bin", writer.Serialize());

  kavrel::CkavrelcoreApp app;
  const std::u16string widePath = kavrel::platform::Utf8ToUtf16(path);
  if (app.Initialize(widePath.c_str()) != 0) std::abort();  // the writer's package must open
  app.SetSeparator(u"|");
  app.SetStep(step.step, step.width);
  if (preload) app.PreloadData();

  const double latitude = static_cast<double>(kBand + latitudeOffset) / 1e6;
  const double longitude = static_cast<double>(longitudeKey) / 1e6;
  std::u16string address;
  std::int32_t elapsed = 0;
  app.ReverseGeocode(latitude, longitude, address, &elapsed);
  app.ReverseGeocode(latitude, 139.767125, address, &elapsed);

  // The search against its reference, from the keys the engine forms.
  const std::uint32_t latKey = kavrel::CoordinateKey(latitude);
  const std::uint32_t lonKey = kavrel::CoordinateKey(longitude);
  kavrel::AddressKey found;
  const std::int32_t code = app.FindNearestPoint(latKey, lonKey, found);
  std::vector<RefPoint> points;
  const kavrel::SearchParameters parameters = kavrel::EffectiveParameters(app.Parameters());
  const int best = ReferenceSearch(lower, own, latKey, lonKey, parameters.step, parameters.width, points);
  if ((code == 0) != (best >= 0)) Mismatch("search result code");
  if (best >= 0) {
    const RefPoint& p = points[static_cast<std::size_t>(best)];
    if (found.nPref != p.pref || found.nCity != p.city || found.nArea != p.area) Mismatch("search winner");
  }

  // Name lookups against their reference.
  const std::uint32_t keys[3] = {extraKey & 0xFF, extraKey & 0xFFFF, extraKey & 0xFFFFFF};
  const std::string* blocks[3] = {&prefectures, &cities, keys[2] < 1000 ? &areas : nullptr};
  for (int level = 0; level < 3; ++level) {
    std::u16string expected;
    const bool has = ReferenceName(blocks[level], keys[level], expected);
    const std::int32_t looked = app.LookupName(level, keys[level], address);
    if ((looked == 0) != has || address != expected) Mismatch("name lookup");
  }

  // Whole lookups, preloaded and not, against the ring search on the same
  // package with the same parameters (the search may reset them).
  kavrel::CkavrelcoreApp preloaded;
  kavrel::CkavrelcoreApp plain;
  for (kavrel::CkavrelcoreApp* engine : {&preloaded, &plain}) {
    if (engine->Initialize(widePath.c_str()) != 0) std::abort();
    engine->SetSeparator(u"|");
  }
  preloaded.PreloadData();
  for (const double queryLongitude : {longitude, 139.767125}) {
    kavrel::test::Lookup answers[3];
    for (int way = 0; way < 3; ++way) {
      kavrel::CkavrelcoreApp& engine = way == 2 ? plain : preloaded;
      engine.SetStep(step.step, step.width);
      answers[way] = way == 1 ? kavrel::test::DesignedLookup(engine, latitude, queryLongitude)
                              : kavrel::test::EngineLookup(engine, latitude, queryLongitude);
    }
    if (!(answers[0] == answers[1])) Mismatch("preloaded lookup");
    if (!(answers[2] == answers[1])) Mismatch("lookup without preload");
  }
  app.Cleanup();
  return 0;
}
