// Every single-byte change of the sample package: opening it, looking up
// before and after loading every entry never crashes, never holds an entry
// beyond the cap and never allocates more than the cap. The bound is on
// allocation, so this program counts every operator new of the process; it
// is not built with the sanitizers, which replace the allocator themselves.
// The same allocator can refuse, for the lookups that must survive that.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "engine_app.h"
#include "kavrel/format/blocks.h"
#include "kavrel/platform/text.h"
#if !defined(_WIN32)
#include "fifo.h"
#endif
#include "kavrel.h"
#include "kavrelcore.h"
#include "test_packages.h"

namespace {

// The counters of the replaced operator new below: the bytes in use now and
// the most in use since the last reset. A process-wide allocator can only
// count into process-wide state.
std::size_t g_inUse = 0;
std::size_t g_peak = 0;
bool g_refuse = false;  // every allocation fails while set

// Each block carries its size in front, kept at the alignment of new.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* CountedAllocate(std::size_t size) noexcept {
  if (g_refuse) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (block == nullptr) return nullptr;
  *reinterpret_cast<std::size_t*>(block) = size;
  g_inUse += size;
  if (g_inUse > g_peak) g_peak = g_inUse;
  return block + kHeader;
}

void CountedFree(void* pointer) noexcept {
  if (pointer == nullptr) return;
  auto* block = static_cast<unsigned char*>(pointer) - kHeader;
  g_inUse -= *reinterpret_cast<std::size_t*>(block);
  std::free(block);
}

void* CountedOrThrow(std::size_t size) {
  if (void* pointer = CountedAllocate(size)) return pointer;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return CountedOrThrow(size); }
void* operator new[](std::size_t size) { return CountedOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocate(size); }
void operator delete(void* pointer) noexcept { CountedFree(pointer); }
void operator delete[](void* pointer) noexcept { CountedFree(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { CountedFree(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { CountedFree(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { CountedFree(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { CountedFree(pointer); }

namespace kavrel {
namespace {

constexpr std::size_t kCap = KAVREL_MAX_ENTRY_BYTES;

// Places of the sample data (Tokyo Station, Osaka, Sapporo, Naha) and one at
// sea.
constexpr double kPlaces[][2] = {
    {35.681236, 139.767125}, {34.702485, 135.495951}, {43.068661, 141.350755}, {26.212401, 127.679104},
    {30.0, 135.0}};

// The values a byte is set to: 0x00, 0xFF, every single bit flipped, one
// more and one less (all 256 take too long for the whole package).
std::vector<unsigned char> ChangedValues(unsigned char original) {
  std::vector<unsigned char> values = {0x00, 0xFF, static_cast<unsigned char>(original + 1),
                                       static_cast<unsigned char>(original - 1)};
  for (int bit = 0; bit < 8; ++bit) values.push_back(static_cast<unsigned char>(original ^ (1u << bit)));
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  values.erase(std::remove(values.begin(), values.end(), original), values.end());
  return values;
}

// Opens the package at `path` in a fresh engine, looks every place up,
// loads every entry, and looks them up again. Returns the largest entry
// held. With `preload`, the entries are loaded by PreloadData, which also
// builds the search index; that takes some milliseconds whatever the
// package, so not every variant can afford it.
std::int64_t Exercise(const std::u16string& path, bool preload) {
  CkavrelcoreApp engine;
  engine.Initialize(path.c_str());
  std::u16string address;
  for (const auto& place : kPlaces) engine.ReverseGeocode(place[0], place[1], address, nullptr);
  if (preload) {
    engine.PreloadData();
  } else {
    engine.Package().LoadAll();
  }
  for (const auto& place : kPlaces) engine.ReverseGeocode(place[0], place[1], address, nullptr);
  std::int64_t largest = 0;
  for (std::int32_t i = 0; i < engine.Package().FileCount(); ++i) {
    largest = std::max<std::int64_t>(largest, engine.Package().File(i).Size());
  }
  return largest;
}

TEST(PackageDamage, NoSingleByteChangeCrashesOrAllocatesBeyondTheCap) {
  const std::string original = test::ReadBytes(KAVREL_SAMPLE_PACKAGE);
  ASSERT_GT(original.size(), 1000u);
  test::TempDir dir;
  const std::string path = dir / "damaged.bin";
  test::WriteBytes(path, original);
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  ASSERT_TRUE(file);
  const std::u16string widePath = test::Wide(path);

  std::size_t variants = 0;
  std::size_t failures = 0;
  for (std::size_t position = 0; position < original.size() && failures < 10; ++position) {
    // The engine names the first damaged entry of every open on standard
    // error; those lines are checked elsewhere and dropped here.
    testing::internal::CaptureStderr();
    const std::vector<unsigned char> values = ChangedValues(static_cast<unsigned char>(original[position]));
    // One value of each position, taken in turn, goes through PreloadData.
    const unsigned char preloaded = values[position % values.size()];
    for (const unsigned char value : values) {
      const char changed = static_cast<char>(value);
      file.seekp(static_cast<std::streamoff>(position));
      file.write(&changed, 1);
      file.flush();
      ++variants;

      g_peak = g_inUse;
      const std::size_t baseline = g_inUse;
      const std::int64_t largest = Exercise(widePath, value == preloaded);
      const std::size_t allocated = g_peak - baseline;
      if (largest > static_cast<std::int64_t>(kCap) || allocated > kCap || g_inUse != baseline) {
        ++failures;
        ADD_FAILURE() << "byte " << position << " set to " << static_cast<unsigned>(value) << ": largest entry " << largest
                      << ", allocated at most " << allocated << " bytes, " << (g_inUse - baseline)
                      << " bytes left allocated";
      }
    }
    file.seekp(static_cast<std::streamoff>(position));
    file.write(&original[position], 1);
    file.flush();
    testing::internal::GetCapturedStderr();
  }
  EXPECT_GE(variants, original.size() * 10);
}

// A package of some kilobytes whose index records all name one deflate
// stream, and one whose single entry inflates far beyond its stored size,
// cost in proportion to their size, not what every record claims: the
// engine refuses both kinds of entry as damaged.
TEST(PackageDamage, SharedOrFarInflatingStreamsCostInProportionToThePackage) {
  // 400,000 records of one point at Tokyo Station: 6 MB from some 25 KB.
  std::string records;
  for (int r = 0; r < 400000; ++r) records += test::PointRecord({35681236, 139767125, 1, 1, 1});
  const std::string stream = pack::RawDeflate(records);
  const auto name = [](std::uint32_t band) { return platform::Utf16ToUtf8(BuildPointBlockName(band)); };
  std::string shared;
  for (std::uint32_t band = 35600000; band < 35800000; band += 10000) {
    shared += test::IndexRecord(name(band), kMethodDeflate, 0, 0, static_cast<std::uint32_t>(stream.size()));
  }
  const std::string alone =
      test::IndexRecord(name(35680000), kMethodDeflate, 0, 0, static_cast<std::uint32_t>(stream.size()));
  const struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {{"20 records, one stream", test::PackageBytes(shared, stream)},
               {"one record", test::PackageBytes(alone, stream)}};
  test::TempDir dir;
  for (const Case& c : cases) {
    test::WriteBytes(dir / "p.bin", c.bytes);
    const std::size_t allowed = 64 * c.bytes.size() + (4u << 20);
    testing::internal::CaptureStderr();
    g_peak = g_inUse;
    const std::size_t baseline = g_inUse;
    Exercise(test::Wide(dir / "p.bin"), true);
    kavrel_geocoder* handle = nullptr;
    EXPECT_EQ(kavrel_open((dir / "p.bin").c_str(), &handle), KAVREL_SUCCESS) << c.what;
    kavrel_answer answer;
    EXPECT_EQ(kavrel_lookup(handle, 35.681236, 139.767125, nullptr, &answer), KAVREL_NO_ANSWER) << c.what;
    kavrel_close(handle);
    testing::internal::GetCapturedStderr();
    EXPECT_LE(g_peak - baseline, allowed) << c.what << ": " << c.bytes.size() << " bytes in the file";
  }
}

// Packages that are nearly all index: hundreds of thousands of records
// naming nothing, with one empty name, with distinct short names, and with
// names like a point block's. Opening, counting, looking up and the designed
// engine's open hold at most four times the file (the whole file is read,
// and each record keeps its entry and its name once), plus a fixed allowance.
TEST(PackageDamage, AnIndexOfManyRecordsCostsInProportionToItsSize) {
  const struct Case {
    const char* what;
    std::string (*name)(std::uint32_t record);
  } cases[] = {
      {"empty names", [](std::uint32_t) { return std::string(); }},
      {"distinct four-byte names",
       [](std::uint32_t r) { return std::string(reinterpret_cast<const char*>(&r), sizeof r); }},
      {"point block names",
       [](std::uint32_t r) { return platform::Utf16ToUtf8(BuildPointBlockName(10000 * (r % 9000))); }},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    std::string index;
    for (std::uint32_t r = 0; r < 300000; ++r) index += test::IndexRecord(c.name(r), kMethodStored, 0, 0, 0);
    const std::string bytes = test::PackageBytes(index, "");
    test::WriteBytes(dir / "p.bin", bytes);
    index = {};
    const std::size_t baseline = g_inUse;
    g_peak = g_inUse;
    kavrel_geocoder* handle = nullptr;
    ASSERT_EQ(kavrel_open((dir / "p.bin").c_str(), &handle), KAVREL_SUCCESS) << c.what;
    kavrel_facts facts;
    EXPECT_EQ(kavrel_facts_of(handle, &facts), KAVREL_SUCCESS) << c.what;
    EXPECT_EQ(facts.entries, 300000u) << c.what;
    kavrel_answer answer;
    EXPECT_EQ(kavrel_lookup(handle, 35.681236, 139.767125, nullptr, &answer), KAVREL_NO_ANSWER) << c.what;
    kavrel_close(handle);
    {
      CkavrelcoreApp engine;
      EXPECT_EQ(engine.Initialize(test::Wide(dir / "p.bin").c_str()), KAVREL_OK) << c.what;
      std::u16string address;
      engine.ReverseGeocode(35.681236, 139.767125, address, nullptr);
    }
    EXPECT_LE(g_peak - baseline, 4 * bytes.size() + (1u << 20)) << c.what << ": " << bytes.size() << " bytes";
  }
}

// A designed search that the index leaves to the ring search allocates its
// point list; when that fails the lookup says so and throws nothing through
// the C interface or out of a lookup thread.
TEST(KavrelLookup, AnAllocationThatFailsIsReportedNotThrown) {
  kavrel_geocoder* handle = nullptr;
  ASSERT_EQ(kavrel_open(KAVREL_SAMPLE_PACKAGE, &handle), KAVREL_SUCCESS);
  // Step times width beyond 2^31: the index cannot follow the search.
  const kavrel_query query = {KAVREL_MODE_DESIGNED, 65536, 65537, 0};
  const double latitude = 35.681236;
  const double longitude = 139.767125;
  kavrel_answer answer;
  ASSERT_EQ(kavrel_lookup(handle, latitude, longitude, &query, &answer), KAVREL_SUCCESS);

  std::int32_t single = 0;
  std::int32_t many = 0;
  std::int32_t row = 0;
  kavrel_answer rowAnswer;
  g_refuse = true;
  single = kavrel_lookup(handle, latitude, longitude, &query, &answer);
  many = kavrel_lookup_many(handle, 1, &latitude, &longitude, &query, 1, &rowAnswer, &row);
  g_refuse = false;
  EXPECT_EQ(single, KAVREL_OUT_OF_MEMORY);
  EXPECT_EQ(answer.prefecture, nullptr);
  EXPECT_EQ(many, KAVREL_SUCCESS);
  EXPECT_EQ(row, KAVREL_OUT_OF_MEMORY);
  EXPECT_EQ(rowAnswer.area, nullptr);
  kavrel_close(handle);
}

#if !defined(_WIN32)
// Anything but a regular file as the package is refused at once: a FIFO
// would otherwise hold the open until some writer came.
TEST(PackageNotAFile, AFifoIsRefusedWithoutWaitingForAWriter) {
  test::TempDir dir;
  const std::string path = dir / "fifo.bin";
  test::FifoWithoutWriter fifo(path);
  CkavrelcoreApp engine;
  EXPECT_EQ(engine.Initialize(test::Wide(path).c_str()), KAVREL_E_NO_FILE);
  kavrel_geocoder* handle = nullptr;
  EXPECT_EQ(kavrel_open(path.c_str(), &handle), KAVREL_PACKAGE_NOT_FOUND);
  EXPECT_EQ(handle, nullptr);
  EXPECT_FALSE(fifo.ReleasedAWaitingReader());
}
#endif

// A device opens and reads (as empty) but is no package.
TEST(PackageNotAFile, ADeviceIsRefused) {
  CkavrelcoreApp engine;
  EXPECT_EQ(engine.Initialize(test::Wide(test::kNullDevice).c_str()), KAVREL_E_NO_FILE);
  kavrel_geocoder* handle = nullptr;
  EXPECT_EQ(kavrel_open(test::kNullDevice, &handle), KAVREL_PACKAGE_NOT_FOUND);
  EXPECT_EQ(handle, nullptr);
}

// A band whose records are out of order is left to the ring search, which
// may find its points; their names are the package's, never empty ones.
TEST(KavrelLookup, APointOfAnIrregularBandAnswersWithItsNames) {
  pack::PackageWriter writer;
  // Descending latitudes: the index cannot use this band.
  writer.Add(platform::Utf16ToUtf8(BuildPointBlockName(35680000)),
             test::PointBlock({{35681236, 139767125, 13, 101, 1234}, {35680500, 139767000, 13, 101, 1234}}));
  writer.Add(platform::Utf16ToUtf8(BuildPointBlockName(34700000)),
             test::PointBlock({{34702485, 135495951, 27, 201, 2345}}));
  writer.Add("/P/000000.gzbin", test::NameBlock({{13, u"東京都"}, {27, u"大阪府"}}));
  writer.Add("/C/000000.gzbin", test::NameBlock({{101, u"千代田区"}, {201, u"大阪市北区"}}));
  writer.Add("/S/001000.gzbin", test::NameBlock({{1234, u"丸の内一丁目"}}));
  writer.Add("/S/002000.gzbin", test::NameBlock({{2345, u"梅田三丁目"}}));
  test::TempDir dir;
  test::WriteBytes(dir / "p.bin", writer.Serialize());
  kavrel_geocoder* handle = nullptr;
  ASSERT_EQ(kavrel_open((dir / "p.bin").c_str(), &handle), KAVREL_SUCCESS);
  kavrel_answer answer;
  ASSERT_EQ(kavrel_lookup(handle, 35.681236, 139.767125, nullptr, &answer), KAVREL_SUCCESS);
  EXPECT_STREQ(answer.prefecture, "東京都");
  EXPECT_STREQ(answer.city, "千代田区");
  EXPECT_STREQ(answer.area, "丸の内一丁目");
  ASSERT_EQ(kavrel_lookup(handle, 34.702485, 135.495951, nullptr, &answer), KAVREL_SUCCESS);
  EXPECT_STREQ(answer.area, "梅田三丁目");
  kavrel_close(handle);
}

}  // namespace
}  // namespace kavrel
