// Loading entries: stored and raw-deflated data, damaged streams, the cache,
// unloading and loading everything.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "kavrel/format/data_package.h"
#include "kavrel/format/entry_cap.h"
#include "test_packages.h"

namespace kavrel {
namespace {

std::string DataOf(const CDataPackageFile& entry) {
  if (entry.Data() == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(entry.Data()),
                     static_cast<std::size_t>(entry.Size()));
}

// Bytes that deflate poorly, so that long entries take several output steps
// of the inflater from a short input.
std::string Noise(std::size_t length, std::uint32_t seed) {
  std::string out(length, '\0');
  for (char& c : out) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 24);
  }
  return out;
}

// Bytes that deflate to about a sixth, well within what the reader takes per
// stored byte: one byte of noise in every 16, zeros between.
std::string Sparse(std::size_t length, std::uint32_t seed) {
  std::string out(length, '\0');
  const std::string noise = Noise((length + 15) / 16, seed);
  for (std::size_t i = 0; i < length; i += 16) out[i] = noise[i / 16];
  return out;
}

class EntryLoader : public ::testing::Test {
protected:
  // Writes the package and opens it.
  void OpenPackage(const std::string& bytes) {
    test::WriteBytes(m_dir / "p.bin", bytes);
    ASSERT_EQ(m_package.Open(test::Wide(m_dir / "p.bin")), PackageStatus::kOk);
  }
  const CDataPackageFile& Entry(const std::u16string& name) {
    const std::int32_t index = m_package.FindFile(name);
    EXPECT_GE(index, 0);
    return m_package.File(index < 0 ? 0 : index);
  }
  // What DecodeEntry gives the entry from the file read whole, as the
  // library's handle decodes it; `size` is the decoded length.
  PackageStatus Decoded(const std::u16string& name, std::int32_t& size) {
    std::unique_ptr<std::uint8_t[]> data;
    size = -1;
    return m_package.DecodeEntry(m_package.FindFile(name), data, size);
  }

  test::TempDir m_dir;
  CDataPackage m_package;
};

TEST_F(EntryLoader, InflatesToTheExactLength) {
  // 65536 fills the first output step exactly; 65537 needs a second one.
  const std::size_t lengths[] = {0, 1, 65535, 65536, 65537, 2 * 65536, 3 * 65536 + 17};
  pack::PackageWriter writer;
  for (std::size_t length : lengths) writer.Add(std::to_string(length), Noise(length, 7u + length));
  for (std::size_t length : lengths) writer.Add("z" + std::to_string(length), Sparse(length, 5u + length));
  OpenPackage(writer.Serialize());

  for (const std::string prefix : {"", "z"}) {
    for (std::size_t length : lengths) {
      const std::string name = prefix + std::to_string(length);
      const std::u16string wide(name.begin(), name.end());
      ASSERT_EQ(m_package.LoadFile(wide), PackageStatus::kOk) << name;
      const CDataPackageFile& entry = Entry(wide);
      EXPECT_EQ(entry.State(), CDataPackageFile::kLoaded) << name;
      EXPECT_EQ(entry.Size(), static_cast<std::int32_t>(length)) << name;
      EXPECT_EQ(DataOf(entry), prefix.empty() ? Noise(length, 7u + length) : Sparse(length, 5u + length))
          << name;
    }
  }
}

TEST_F(EntryLoader, StoredAndUnknownMethods) {
  pack::PackageWriter writer;
  writer.Add("stored", "as it is", kMethodStored);
  writer.AddStored("method 7", "kept bytes", 7);
  writer.AddStored("empty", "", kMethodDeflate);
  OpenPackage(writer.Serialize());

  ASSERT_EQ(m_package.LoadFile(u"stored"), PackageStatus::kOk);
  EXPECT_EQ(Entry(u"stored").Size(), 8);
  EXPECT_EQ(DataOf(Entry(u"stored")), "as it is");

  // An unknown method loads its stored bytes but shows them as empty.
  ASSERT_EQ(m_package.LoadFile(u"method 7"), PackageStatus::kOk);
  EXPECT_EQ(Entry(u"method 7").State(), CDataPackageFile::kLoaded);
  EXPECT_EQ(Entry(u"method 7").Size(), 0);
  ASSERT_NE(Entry(u"method 7").Data(), nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Entry(u"method 7").Data()), 10),
            "kept bytes");

  // Stored size 0: nothing to load, the entry stays listed.
  EXPECT_EQ(m_package.LoadFile(u"empty"), PackageStatus::kOk);
  EXPECT_EQ(Entry(u"empty").State(), CDataPackageFile::kListed);
  EXPECT_EQ(Entry(u"empty").Data(), nullptr);
  EXPECT_EQ(m_package.UnloadFile(u"empty"), PackageStatus::kNotLoaded);
}

TEST_F(EntryLoader, DamagedStreamsFailAndLeaveTheEntryListed) {
  const std::string content = Noise(70000, 3);
  const std::string raw = pack::RawDeflate(content);
  pack::PackageWriter writer;
  writer.AddStored("cut in half", raw.substr(0, raw.size() / 2), kMethodDeflate);
  writer.AddStored("last byte missing", raw.substr(0, raw.size() - 1), kMethodDeflate);
  writer.AddStored("gzip", test::WrappedDeflate(content, 15 + 16), kMethodDeflate);
  writer.AddStored("zlib", test::WrappedDeflate(content, 15), kMethodDeflate);
  writer.AddStored("garbage", std::string(100, '\xFF'), kMethodDeflate);
  writer.AddStored("whole", raw, kMethodDeflate);
  OpenPackage(writer.Serialize());

  for (const std::u16string name : {u"cut in half", u"last byte missing", u"gzip", u"zlib", u"garbage"}) {
    const std::string narrow(name.begin(), name.end());
    EXPECT_EQ(m_package.LoadFile(name), PackageStatus::kDamaged) << narrow;
    EXPECT_EQ(Entry(name).State(), CDataPackageFile::kListed) << narrow;
    EXPECT_EQ(Entry(name).Data(), nullptr) << narrow;
    EXPECT_EQ(Entry(name).Size(), 0) << narrow;
    EXPECT_EQ(m_package.UnloadFile(name), PackageStatus::kNotLoaded) << narrow;
  }
  ASSERT_EQ(m_package.LoadFile(u"whole"), PackageStatus::kOk);
  EXPECT_EQ(DataOf(Entry(u"whole")), content);
}

TEST_F(EntryLoader, EntriesAreReadAtDataStartPlusOffset) {
  // The data area holds the entries in the opposite order of the index, with
  // a gap.
  const std::string index = test::IndexRecord("hello", 0, 0, 7, 5) +
                            test::IndexRecord("world", 0, 0, 0, 5);
  OpenPackage(test::PackageBytes(index, "WORLD..HELLO"));
  ASSERT_EQ(m_package.LoadFile(u"hello"), PackageStatus::kOk);
  ASSERT_EQ(m_package.LoadFile(u"world"), PackageStatus::kOk);
  EXPECT_EQ(DataOf(Entry(u"hello")), "HELLO");
  EXPECT_EQ(DataOf(Entry(u"world")), "WORLD");
}

TEST_F(EntryLoader, EntriesPastTheEndOfTheFileAreDamaged) {
  const std::string data = "WORLD..HELLO";
  const struct Case {
    const char* name;
    std::uint8_t method;
    std::uint32_t offset, storedSize;
    bool damaged;
  } cases[] = {
      {"all but the last byte", 0, 0, 11, false},
      {"last byte", 0, 11, 1, false},
      {"one byte over", 0, 10, 3, true},           // used to load "LO" and a zero
      {"a bit flipped in the size", 1, 0, 0x40000000u | 12u, true},  // used to allocate 1 GiB
      {"size 0 far away", 0, 0xFFFFFFF0u, 0, false},
      {"wraps to the header", 0, 0, 5, true},  // offset set below
  };
  std::string index;
  for (const Case& c : cases) index += test::IndexRecord(c.name, c.method, 0, c.offset, c.storedSize);
  // The last record gets the offset whose 32-bit sum with the data start is
  // 0, the file's first byte.
  const auto indexSize = static_cast<std::uint32_t>(index.size());
  const std::string last = test::IndexRecord("wraps to the header", 0, 0, 0 - (8 + indexSize), 5);
  index.replace(index.size() - last.size(), last.size(), last);
  OpenPackage(test::PackageBytes(index, data));

  testing::internal::CaptureStderr();
  for (const Case& c : cases) {
    const std::string narrow = c.name;
    const std::u16string name(narrow.begin(), narrow.end());
    EXPECT_EQ(m_package.LoadFile(name), c.damaged ? PackageStatus::kDamaged : PackageStatus::kOk) << narrow;
    if (c.damaged) {
      EXPECT_EQ(Entry(name).State(), CDataPackageFile::kListed) << narrow;
      EXPECT_EQ(Entry(name).Data(), nullptr) << narrow;
    }
  }
  EXPECT_NE(testing::internal::GetCapturedStderr().find("damaged entry one byte over"), std::string::npos);
  EXPECT_EQ(DataOf(Entry(u"last byte")), "O");
  EXPECT_EQ(Entry(u"size 0 far away").State(), CDataPackageFile::kListed);
}

TEST_F(EntryLoader, TheFirstDamagedEntryAfterEachOpenIsToldOnce) {
  const std::string index = test::IndexRecord("short", 0, 0, 2, 9) + test::IndexRecord("good", 0, 0, 0, 4) +
                            test::IndexRecord("\x1B[2Jshorter", 0, 0, 3, 9);
  test::WriteBytes(m_dir / "p.bin", test::PackageBytes(index, "GOOD"));
  const std::string told = "kavrelcore: " + m_dir / "p.bin" +
                           ": damaged entry short: 9 bytes at offset 2 reach past the end of the file (" +
                           std::to_string(8 + index.size() + 4) +
                           " bytes); it is not loaded (further damaged entries are not told)\n";
  for (int open = 0; open < 2; ++open) {
    testing::internal::CaptureStderr();
    ASSERT_EQ(m_package.Open(test::Wide(m_dir / "p.bin")), PackageStatus::kOk);
    m_package.LoadAll();
    EXPECT_EQ(m_package.LoadFile(u"short"), PackageStatus::kDamaged);
    EXPECT_EQ(m_package.LoadFile(u"\x1B[2Jshorter"), PackageStatus::kDamaged);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), told) << "open " << open;
    EXPECT_EQ(DataOf(Entry(u"good")), "GOOD");
    m_package.Close();
  }
  // A name that could steer a terminal is not written as it is.
  const std::string other = test::IndexRecord("\x1B[2J\r", 0, 0, 0, 9);
  test::WriteBytes(m_dir / "p.bin", test::PackageBytes(other, "GOOD"));
  testing::internal::CaptureStderr();
  ASSERT_EQ(m_package.Open(test::Wide(m_dir / "p.bin")), PackageStatus::kOk);
  EXPECT_EQ(m_package.LoadFile(u"\x1B[2J\r"), PackageStatus::kDamaged);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("damaged entry ?[2J?: 9 bytes"), std::string::npos);
}

TEST_F(EntryLoader, NoEntryIsHeldLargerThanTheCap) {
  constexpr std::size_t cap = kMaxEntryBytes;
  static_assert(cap == 64u * 1024 * 1024);
  const std::string zeros(cap + 1, '\0');
  // Data that the cap limits rather than the inflation ratio.
  const std::string sparse = Sparse(cap + 1, 11);
  const std::string_view atCap(sparse.data(), cap);
  pack::PackageWriter writer;
  writer.AddStored("inflates to the cap", pack::RawDeflate(atCap, 1), kMethodDeflate);
  writer.AddStored("inflates past it", pack::RawDeflate(sparse, 1), kMethodDeflate);
  writer.AddStored("stored past it", zeros, kMethodStored);
  writer.AddStored("unknown method past it", zeros, 7);
  OpenPackage(writer.Serialize());

  testing::internal::CaptureStderr();
  for (const std::u16string name : {u"inflates past it", u"stored past it", u"unknown method past it"}) {
    const std::string narrow(name.begin(), name.end());
    EXPECT_EQ(m_package.LoadFile(name), PackageStatus::kDamaged) << narrow;
    EXPECT_EQ(Entry(name).Data(), nullptr) << narrow;
    EXPECT_EQ(Entry(name).State(), CDataPackageFile::kListed) << narrow;
  }
  EXPECT_NE(testing::internal::GetCapturedStderr().find(
                "damaged entry inflates past it: it inflates to more than 67108864 bytes"),
            std::string::npos);
  ASSERT_EQ(m_package.LoadFile(u"inflates to the cap"), PackageStatus::kOk);
  EXPECT_EQ(Entry(u"inflates to the cap").Size(), static_cast<std::int32_t>(cap));
  EXPECT_EQ(DataOf(Entry(u"inflates to the cap")), atCap);
}

// An entry may inflate to 64 times its stored size and no more, so that a
// package never holds more than that many times its size.
TEST_F(EntryLoader, AnEntryInflatingBeyondTheRatioIsDamaged) {
  // Empty stored blocks (five bytes each, inflating to nothing) before a run
  // of zeros, as many as make the whole exactly 1/64 of the run.
  constexpr std::string_view kEmptyBlock("\x00\x00\x00\xFF\xFF", 5);
  std::string atRatio;
  for (std::size_t stored = 2000; atRatio.empty() && stored < 2100; ++stored) {
    const std::string run = pack::RawDeflate(std::string(64 * stored, '\0'));
    if (run.size() > stored || (stored - run.size()) % kEmptyBlock.size() != 0) continue;
    for (std::size_t b = 0; b < (stored - run.size()) / kEmptyBlock.size(); ++b) atRatio += kEmptyBlock;
    atRatio += run;
  }
  ASSERT_FALSE(atRatio.empty());
  pack::PackageWriter writer;
  writer.AddStored("at the ratio", atRatio, kMethodDeflate);
  writer.AddStored("past it", atRatio.substr(kEmptyBlock.size()), kMethodDeflate);
  writer.AddStored("a long run", pack::RawDeflate(std::string(1000000, 'z')), kMethodDeflate);
  OpenPackage(writer.Serialize());
  ASSERT_EQ(m_package.ReadImage(), PackageStatus::kOk);

  std::int32_t size = 0;
  EXPECT_EQ(Decoded(u"at the ratio", size), PackageStatus::kOk);
  EXPECT_EQ(size, static_cast<std::int32_t>(64 * atRatio.size()));
  ASSERT_EQ(m_package.LoadFile(u"at the ratio"), PackageStatus::kOk);
  EXPECT_EQ(Entry(u"at the ratio").Size(), static_cast<std::int32_t>(64 * atRatio.size()));
  testing::internal::CaptureStderr();
  for (const std::u16string name : {u"past it", u"a long run"}) {
    const std::string narrow(name.begin(), name.end());
    EXPECT_EQ(Decoded(name, size), PackageStatus::kDamaged) << narrow;
    EXPECT_EQ(m_package.LoadFile(name), PackageStatus::kDamaged) << narrow;
    EXPECT_EQ(Entry(name).Data(), nullptr) << narrow;
  }
  EXPECT_NE(testing::internal::GetCapturedStderr().find(
                "damaged entry past it: it inflates to more than " + std::to_string(64 * (atRatio.size() - 5)) +
                " bytes, the most that " + std::to_string(atRatio.size() - 5) + " stored bytes may hold"),
            std::string::npos);
}

// The writer gives every entry bytes of its own: entries whose bytes overlap
// would let one stream be inflated again and again.
TEST_F(EntryLoader, EntriesSharingStoredBytesAreDamagedAndNeighboursAreNot) {
  const struct Case {
    const char* name;
    std::uint32_t offset;
    std::uint32_t size;
    bool damaged;
  } cases[] = {
      {"alone", 0, 4, false},
      {"one stream", 4, 4, true},
      {"the same stream again", 4, 4, true},
      {"around another", 10, 10, true},
      {"inside it", 12, 2, true},
      {"left neighbour", 20, 5, false},
      {"right neighbour", 25, 5, false},
      {"nothing stored, amid others", 5, 0, false},
      {"last", 30, 2, false},
  };
  std::string index;
  for (const Case& c : cases) index += test::IndexRecord(c.name, kMethodStored, 0, c.offset, c.size);
  OpenPackage(test::PackageBytes(index, std::string(32, 'x')));
  ASSERT_EQ(m_package.ReadImage(), PackageStatus::kOk);
  testing::internal::CaptureStderr();
  for (const Case& c : cases) {
    const std::u16string name(c.name, c.name + std::char_traits<char>::length(c.name));
    EXPECT_EQ(Entry(name).SharesBytes(), c.damaged) << c.name;
    std::int32_t size = 0;
    EXPECT_EQ(Decoded(name, size), c.damaged ? PackageStatus::kDamaged : PackageStatus::kOk) << c.name;
    if (!c.damaged) {
      EXPECT_EQ(size, static_cast<std::int32_t>(c.size)) << c.name;
    }
    EXPECT_EQ(m_package.LoadFile(name), c.damaged ? PackageStatus::kDamaged : PackageStatus::kOk) << c.name;
  }
  EXPECT_NE(testing::internal::GetCapturedStderr().find("its stored bytes overlap those of another entry"),
            std::string::npos);
}

TEST_F(EntryLoader, ADeflatedEntryStoredLargerThanTheCapIsDamagedHoweverLittleItInflatesTo) {
  // Empty stored blocks of five bytes each, then a last one holding "ok": a
  // sound raw deflate stream of any length that inflates to two bytes.
  const auto padded = [](std::size_t atLeast) {
    constexpr std::string_view kEmptyBlock("\x00\x00\x00\xFF\xFF", 5);
    std::string stream;
    stream.reserve(atLeast + 16);
    while (stream.size() < atLeast) stream += kEmptyBlock;
    return stream + std::string("\x01\x02\x00\xFD\xFFok", 7);
  };
  pack::PackageWriter writer;
  writer.AddStored("short", padded(1000), kMethodDeflate);
  writer.AddStored("past the cap", padded(kMaxEntryBytes), kMethodDeflate);
  OpenPackage(writer.Serialize());

  ASSERT_EQ(m_package.LoadFile(u"short"), PackageStatus::kOk);
  EXPECT_EQ(DataOf(Entry(u"short")), "ok");
  testing::internal::CaptureStderr();
  EXPECT_EQ(m_package.LoadFile(u"past the cap"), PackageStatus::kDamaged);
  EXPECT_EQ(Entry(u"past the cap").Data(), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("damaged entry past the cap: 67108872 bytes, more than "
                                                       "67108864"),
            std::string::npos);
}

TEST_F(EntryLoader, LoadedEntriesAreACacheUntilUnloaded) {
  KAVREL_POSIX_ONLY("Windows refuses to rewrite a package that is open");
  pack::PackageWriter writer;
  writer.Add("a", "version one");
  const std::string before = writer.Serialize();
  OpenPackage(before);

  ASSERT_EQ(m_package.LoadFile(u"a"), PackageStatus::kOk);
  const std::uint8_t* data = Entry(u"a").Data();
  // The file changes under the open package (same layout, new bytes).
  pack::PackageWriter changed;
  changed.Add("a", "version two");
  const std::string after = changed.Serialize();
  ASSERT_EQ(after.size(), before.size());
  test::WriteBytes(m_dir / "p.bin", after);

  // A second load is a cache hit: same buffer, no new read.
  ASSERT_EQ(m_package.LoadFile(u"a"), PackageStatus::kOk);
  EXPECT_EQ(Entry(u"a").Data(), data);
  EXPECT_EQ(DataOf(Entry(u"a")), "version one");

  // After unloading, the entry is read from the file again.
  ASSERT_EQ(m_package.UnloadFile(u"a"), PackageStatus::kOk);
  EXPECT_EQ(Entry(u"a").State(), CDataPackageFile::kListed);
  EXPECT_EQ(Entry(u"a").Data(), nullptr);
  EXPECT_EQ(Entry(u"a").Size(), 0);
  EXPECT_EQ(m_package.UnloadFile(u"a"), PackageStatus::kNotLoaded);
  ASSERT_EQ(m_package.LoadFile(u"a"), PackageStatus::kOk);
  EXPECT_EQ(DataOf(Entry(u"a")), "version two");
}

TEST_F(EntryLoader, UnknownNamesAndAClosedFile) {
  pack::PackageWriter writer;
  writer.Add("loaded", "in memory");
  writer.Add("listed", "on disk");
  OpenPackage(writer.Serialize());
  EXPECT_EQ(m_package.LoadFile(u"missing"), PackageStatus::kNoEntry);
  EXPECT_EQ(m_package.UnloadFile(u"missing"), PackageStatus::kNoEntry);
  ASSERT_EQ(m_package.LoadFile(u"loaded"), PackageStatus::kOk);

  m_package.Close();
  // What is in memory stays usable; nothing else can be read.
  EXPECT_EQ(m_package.LoadFile(u"loaded"), PackageStatus::kOk);
  EXPECT_EQ(DataOf(Entry(u"loaded")), "in memory");
  EXPECT_EQ(m_package.LoadFile(u"listed"), PackageStatus::kNoFile);
  EXPECT_EQ(Entry(u"listed").State(), CDataPackageFile::kListed);
  EXPECT_EQ(Entry(u"listed").Data(), nullptr);
}

TEST_F(EntryLoader, LoadAllLoadsByNameAndSkipsDamagedEntries) {
  const std::string raw = pack::RawDeflate("good data");
  pack::PackageWriter writer;
  writer.Add("dup", "first of the name");
  writer.AddStored("broken", raw.substr(0, 3), kMethodDeflate);
  writer.Add("dup", "second of the name");
  writer.AddStored("empty", "", kMethodStored);
  writer.Add("last", "good data");
  OpenPackage(writer.Serialize());

  m_package.LoadAll();
  ASSERT_EQ(m_package.FileCount(), 5);
  EXPECT_EQ(m_package.File(0).State(), CDataPackageFile::kLoaded);
  EXPECT_EQ(DataOf(m_package.File(0)), "first of the name");
  EXPECT_EQ(m_package.File(1).State(), CDataPackageFile::kListed);
  // The second "dup" is never loaded: its name finds the first one.
  EXPECT_EQ(m_package.File(2).State(), CDataPackageFile::kListed);
  EXPECT_EQ(m_package.File(3).State(), CDataPackageFile::kListed);
  EXPECT_EQ(DataOf(m_package.File(4)), "good data");
}

TEST_F(EntryLoader, LoadAllOnAnEmptyDirectory) {
  OpenPackage(test::PackageHeader(0));
  m_package.LoadAll();
  EXPECT_EQ(m_package.FileCount(), 0);
}

}  // namespace
}  // namespace kavrel
