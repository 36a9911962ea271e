// The engine state: where the package is found, initialise and clean up,
// search parameters, separator and preloading; one lookup through it, its
// names joined, its blocks kept or dropped.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include <algorithm>

#include "engine_app.h"
#include "kavrel/format/blocks.h"
#include "kavrel.h"
#include "kavrel/platform/files.h"
#include "kavrel/platform/library.h"
#include "kavrel/platform/text.h"
#include "kavrelcore.h"
#include "package_writer.h"
#include "test_packages.h"
#include "test_support.h"

namespace kavrel {
namespace {

namespace fs = std::filesystem;

using test::NameBlock;
using test::PointBlock;
using test::PointPackage;
using test::TestEngine;
using test::Wide;

// Runs the test from another current folder and comes back.
class CurrentFolder {
public:
  explicit CurrentFolder(const std::string& path) : m_before(fs::current_path()) { fs::current_path(path); }
  ~CurrentFolder() { fs::current_path(m_before); }

private:
  fs::path m_before;
};

// A path beside this test program, removed (with all below it) at the end.
class BesideProgram {
public:
  explicit BesideProgram(const std::string& relative) {
    const std::string program = platform::ExecutablePath();
    m_folder = program.substr(0, program.rfind(platform::kPathSeparator));
    m_path = platform::JoinPath(m_folder, relative);
    m_top = platform::JoinPath(m_folder, relative.substr(0, relative.find(platform::kPathSeparator)));
  }
  ~BesideProgram() {
    std::error_code ignored;
    fs::remove_all(m_top, ignored);
  }
  const std::string& Folder() const { return m_folder; }
  const std::string& Path() const { return m_path; }

private:
  std::string m_folder;
  std::string m_path;
  std::string m_top;
};

// A name no other test or run uses: the stem with the temporary folder's own
// unique name.
std::string UniqueName(const char* stem, const test::TempDir& dir) {
  return std::string(stem) + "-" + fs::path(dir.Path()).filename().string() + ".bin";
}

std::string SmallPackage(const char* entry = "entry", const char* content = "content") {
  pack::PackageWriter writer;
  writer.Add(entry, content);
  return writer.Serialize();
}

TEST(EngineSetStep, StepWidthAndBandRange) {
  struct Case {
    std::int32_t step, width;
    std::int32_t wantStep, wantWidth, wantBands;
  };
  const Case cases[] = {
      {100, 300, 100, 300, 1},
      {50, 3000, 50, 3000, 5},
      {0, 300, 100, 300, 0},
      {10, 100, 10, 100, 0},
      {-5, 300, 100, 300, 0},      // -1500 / 30000 truncates toward zero
      {-300, -100, 100, 300, 1},   // the product of the raw arguments counts
      {100, -900, 100, 300, -3},
      {-100, 1200, 100, 1200, -4},
      // Products past 32 bits wrap: 65536 * 65536 is 2^32, which wraps to 0.
      {65536, 65536, 65536, 65536, 0},
      // 46341^2 = 2147488281 wraps to -2147479015.
      {46341, 46341, 46341, 46341, -71582},
      // 50000^2 = 2500000000 wraps to -1794967296.
      {50000, 50000, 50000, 50000, -59832},
      {INT_MIN, -1, 100, 300, -71582},
      {INT_MAX, INT_MAX, INT_MAX, INT_MAX, 0},  // wraps to 1
  };
  for (const Case& c : cases) {
    CkavrelcoreApp engine;
    EXPECT_EQ(engine.SetStep(c.step, c.width), KAVREL_OK);
    EXPECT_EQ(engine.Parameters().step, c.wantStep) << c.step << " x " << c.width;
    EXPECT_EQ(engine.Parameters().width, c.wantWidth) << c.step << " x " << c.width;
    EXPECT_EQ(engine.Parameters().bandRange, c.wantBands) << c.step << " x " << c.width;
  }
}

TEST(EngineSetSeparator, CopiesTheTextAndNullEmptiesIt) {
  CkavrelcoreApp engine;
  std::u16string text = u" / ";
  EXPECT_EQ(engine.SetSeparator(text.c_str()), KAVREL_OK);
  text[1] = u'x';
  EXPECT_EQ(engine.Separator(), u" / ");
  EXPECT_EQ(engine.SetSeparator(nullptr), KAVREL_OK);
  EXPECT_TRUE(engine.Separator().empty());
}

// Where Initialize finds the package. Each file placed holds one entry named
// after its place, so the test sees which file was opened.
TEST(EngineInitialize, FindsThePackageInSearchOrder) {
  enum Form { kBare, kDefault, kAbsolute, kWithFolder };
  enum Found { kNowhere, kAsGiven, kBesideProgram };
  struct Case {
    const char* what;
    Form form;
    bool inCurrent, besideProgram, folderInCurrent;
    Found found;
  };
  const Case cases[] = {
      {"null means kavreldata.bin", kDefault, true, false, false, kAsGiven},
      {"an absolute path", kAbsolute, true, false, false, kAsGiven},
      {"a bare name beside the program", kBare, false, true, false, kBesideProgram},
      {"the current folder comes first", kBare, true, true, false, kAsGiven},
      {"a folder of that name does not count", kBare, false, true, true, kBesideProgram},
      {"a name with a folder is not searched further", kWithFolder, false, true, false, kNowhere},
      {"no such file anywhere", kBare, false, false, false, kNowhere},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    const std::string unique = UniqueName("search", dir);
    const std::string name = c.form == kDefault      ? "kavreldata.bin"
                             : c.form == kWithFolder ? platform::JoinPath("sub-" + unique, "data.bin")
                                                     : unique;
    const std::string passed = c.form == kAbsolute ? dir / name : name;
    std::optional<BesideProgram> beside;
    if (c.besideProgram) {
      beside.emplace(name);
      fs::create_directories(fs::path(beside->Path()).parent_path());
      test::WriteBytes(beside->Path(), SmallPackage("beside"));
    }
    if (c.inCurrent) test::WriteBytes(dir / name, SmallPackage("current"));
    if (c.folderInCurrent) fs::create_directory(dir / name);
    CurrentFolder here(dir.Path());

    CkavrelcoreApp engine;
    EXPECT_EQ(engine.Initialize(c.form == kDefault ? nullptr : Wide(passed).c_str()),
              c.found == kNowhere ? KAVREL_E_NO_FILE : KAVREL_OK)
        << c.what;
    if (c.found == kNowhere) {
      EXPECT_EQ(engine.IsInitialized(), false) << c.what;
      EXPECT_TRUE(engine.DataFile().empty()) << c.what;
      EXPECT_FALSE(engine.Package().IsOpen()) << c.what;
      EXPECT_EQ(engine.Cleanup(), KAVREL_E_NOT_READY) << c.what;
    } else {
      EXPECT_EQ(engine.IsInitialized(), true) << c.what;
      EXPECT_EQ(engine.DataFile(), Wide(c.found == kAsGiven ? passed : platform::JoinPath(beside->Folder(), name)))
          << c.what;
      EXPECT_EQ(engine.Package().FindFile(c.found == kAsGiven ? u"current" : u"beside"), 0) << c.what;
    }
  }
}

// `folder` less its last part, as the install's share/kavrel is reached
// from a program's or the library's folder.
std::string PrefixOf(const std::string& folder) { return folder.substr(0, folder.rfind(platform::kPathSeparator)); }

// Initialize looks as given, in the current folder and beside the program,
// then where an install puts the package: share/kavrel of the program's
// prefix, then the configured prefix's package folder. The kavrel_
// interface looks beside the library and in ../bin from it before those,
// and in share/kavrel of the library's prefix after the program's. A name
// with a folder stays where it says. Windows installs keep the package
// beside the programs: no install folders there.
TEST(PackagePlaces, TheInstallsFoldersComeAfterEveryOtherPlace) {
  const std::string program = *platform::ProgramFolder();
  const std::string library = *platform::OwnBinaryFolder();
  std::vector<std::string> designed = {program};
  std::vector<std::string> handle = {program, library, platform::JoinPath(platform::JoinPath(library, ".."), "bin")};
  if (!std::string_view(KAVREL_INSTALLED_PACKAGE_FOLDER).empty()) {
    const std::string share = platform::JoinPath("share", "kavrel");
    designed.push_back(platform::JoinPath(PrefixOf(program), share));
    designed.push_back(KAVREL_INSTALLED_PACKAGE_FOLDER);
    handle.push_back(platform::JoinPath(PrefixOf(program), share));
    handle.push_back(platform::JoinPath(PrefixOf(library), share));
    handle.push_back(KAVREL_INSTALLED_PACKAGE_FOLDER);
  }
  EXPECT_EQ(PackageFolders(false), designed);
  EXPECT_EQ(PackageFolders(true), handle);

  const std::vector<std::u16string> places = PackagePlaces(u"p.bin", true);
  ASSERT_EQ(places.size(), handle.size() + 2);
  EXPECT_EQ(places[0], u"p.bin");
  EXPECT_EQ(places[1], Wide(platform::JoinPath(platform::CurrentDirectory(), "p.bin")));
  for (std::size_t i = 0; i < handle.size(); ++i) EXPECT_EQ(places[i + 2], Wide(platform::JoinPath(handle[i], "p.bin")));
  const std::u16string inFolder = test::Native(std::u16string(u"sub/p.bin"));
  EXPECT_EQ(PackagePlaces(inFolder, true), std::vector<std::u16string>{inFolder});
}

// kavrel_package_folder hands out Initialize's folders one by one, with the
// size conventions of kavrel_default_package.
TEST(KavrelPackageFolder, ListsInitializesFoldersInOrder) {
  const std::vector<std::string> folders = PackageFolders(false);
  std::size_t length = 99;
  for (std::size_t index = 0; index < folders.size(); ++index) {
    EXPECT_EQ(kavrel_package_folder(index, nullptr, 0, &length), KAVREL_INVALID_ARGUMENT);
    EXPECT_EQ(length, folders[index].size());
    std::string exact(length, '\0');
    EXPECT_EQ(kavrel_package_folder(index, exact.data(), exact.size(), &length), KAVREL_INVALID_ARGUMENT)
        << "no room for the zero";
    std::string folder(length + 1, 'x');
    ASSERT_EQ(kavrel_package_folder(index, folder.data(), folder.size(), &length), KAVREL_SUCCESS);
    EXPECT_EQ(folder, folders[index] + '\0');
  }
  EXPECT_EQ(kavrel_package_folder(folders.size(), nullptr, 0, &length), KAVREL_PACKAGE_NOT_FOUND);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(kavrel_package_folder(0, nullptr, 0, nullptr), KAVREL_INVALID_ARGUMENT);
}

// A package found nowhere else is opened from share/kavrel of the program's
// prefix; one beside the program still wins.
TEST(EngineInitialize, FindsAnInstalledPackageOnlyAfterTheDesignedPlaces) {
  if (std::string_view(KAVREL_PACKAGE_FOLDER_FROM_PROGRAM).empty()) GTEST_SKIP() << "no install folder here";
  test::TempDir dir;
  const std::string name = UniqueName("installed", dir);
  const std::string share = platform::JoinPath(PrefixOf(*platform::ProgramFolder()), platform::JoinPath("share", "kavrel"));
  const bool made = fs::create_directories(share);
  const std::string installed = platform::JoinPath(share, name);
  test::WriteBytes(installed, SmallPackage("installed"));
  CurrentFolder here(dir.Path());
  {
    CkavrelcoreApp engine;
    ASSERT_EQ(engine.Initialize(Wide(name).c_str()), KAVREL_OK);
    EXPECT_EQ(engine.DataFile(), Wide(installed));
    EXPECT_EQ(engine.Package().FindFile(u"installed"), 0);
  }
  {
    BesideProgram beside(name);
    test::WriteBytes(beside.Path(), SmallPackage("beside"));
    CkavrelcoreApp engine;
    ASSERT_EQ(engine.Initialize(Wide(name).c_str()), KAVREL_OK);
    EXPECT_EQ(engine.Package().FindFile(u"beside"), 0);
  }
  fs::remove(installed);
  // Only folders this test made, and only while empty.
  std::error_code ignored;
  if (made) {
    fs::remove(share, ignored);
    fs::remove(PrefixOf(share), ignored);
  }
}

TEST(KavrelDefaultPackage, NamesThePackageThatOpeningNoneOpens) {
  test::TempDir dir;
  test::WriteBytes(dir / KAVREL_DEFAULT_PACKAGE, SmallPackage("current"));
  CurrentFolder here(dir.Path());
  std::size_t length = 99;
  char small[4];
  EXPECT_EQ(kavrel_default_package(small, sizeof small, &length), KAVREL_INVALID_ARGUMENT);
  EXPECT_EQ(length, std::string(KAVREL_DEFAULT_PACKAGE).size());
  char path[64];
  ASSERT_EQ(kavrel_default_package(path, sizeof path, &length), KAVREL_SUCCESS);
  EXPECT_STREQ(path, KAVREL_DEFAULT_PACKAGE);
  EXPECT_EQ(kavrel_default_package(path, sizeof path, nullptr), KAVREL_INVALID_ARGUMENT);
  kavrel_geocoder* handle = nullptr;
  ASSERT_EQ(kavrel_open(nullptr, &handle), KAVREL_SUCCESS);
  kavrel_facts facts;
  EXPECT_EQ(kavrel_facts_of(handle, &facts), KAVREL_SUCCESS);
  EXPECT_EQ(facts.entries, 1u);  // the one in the current folder
  kavrel_close(handle);
}

TEST(EngineInitialize, AFailedSecondInitializeKeepsTheOpenPackage) {
  test::TempDir dir;
  test::WriteBytes(dir / "p.bin", SmallPackage());
  CkavrelcoreApp engine;
  ASSERT_EQ(engine.Initialize(Wide(dir / "p.bin").c_str()), KAVREL_OK);
  EXPECT_EQ(engine.Initialize(Wide(dir / "missing.bin").c_str()), KAVREL_E_NO_FILE);
  EXPECT_EQ(engine.IsInitialized(), true);
  EXPECT_TRUE(engine.DataFile().empty());
  EXPECT_TRUE(engine.Package().IsOpen());
  EXPECT_EQ(engine.Package().LoadFile(u"entry"), PackageStatus::kOk);
}

TEST(EngineInitialize, ASecondPackageWithoutCleanupIsRefused) {
  test::TempDir dir;
  test::WriteBytes(dir / "1.bin", SmallPackage("one"));
  test::WriteBytes(dir / "2.bin", SmallPackage("two"));
  CkavrelcoreApp engine;
  ASSERT_EQ(engine.Initialize(Wide(dir / "1.bin").c_str()), KAVREL_OK);
  EXPECT_EQ(engine.Initialize(Wide(dir / "2.bin").c_str()), KAVREL_E_ALREADY_OPEN);
  // The path names the new file; the package is still the first (as the
  // package's own tests show).
  EXPECT_EQ(engine.DataFile(), Wide(dir / "2.bin"));
  EXPECT_EQ(engine.Package().FindFile(u"one"), 0);
}

TEST(EngineInitialize, ABadPackageStillInitialisesSoCleanupClosesIt) {
  test::TempDir dir;
  test::WriteBytes(dir / "bad.bin", "PK\x03\x04 not ours");
  CkavrelcoreApp engine;
  EXPECT_EQ(engine.Initialize(Wide(dir / "bad.bin").c_str()), KAVREL_E_FORMAT);
  EXPECT_EQ(engine.IsInitialized(), true);
  EXPECT_TRUE(engine.Package().IsOpen());
  EXPECT_EQ(engine.Cleanup(), KAVREL_OK);
  EXPECT_FALSE(engine.Package().IsOpen());
}

TEST(EngineCleanup, ClosesAndForgetsThePathButKeepsSettingsAndData) {
  test::TempDir dir;
  test::WriteBytes(dir / "p.bin", SmallPackage());
  CkavrelcoreApp engine;
  engine.SetStep(50, 3000);
  engine.SetSeparator(u"-");
  ASSERT_EQ(engine.Initialize(Wide(dir / "p.bin").c_str()), KAVREL_OK);
  ASSERT_EQ(engine.PreloadData(), KAVREL_OK);
  EXPECT_TRUE(engine.IsPreloaded());
  EXPECT_EQ(engine.Package().File(0).State(), CDataPackageFile::kLoaded);

  EXPECT_EQ(engine.Cleanup(), KAVREL_OK);
  EXPECT_EQ(engine.IsInitialized(), false);
  EXPECT_FALSE(engine.IsPreloaded());
  EXPECT_TRUE(engine.DataFile().empty());
  EXPECT_FALSE(engine.Package().IsOpen());
  EXPECT_EQ(engine.Parameters().step, 50);
  EXPECT_EQ(engine.Parameters().width, 3000);
  EXPECT_EQ(engine.Parameters().bandRange, 5);
  EXPECT_EQ(engine.Separator(), u"-");
  EXPECT_EQ(engine.Package().File(0).State(), CDataPackageFile::kLoaded);

  EXPECT_EQ(engine.Cleanup(), KAVREL_E_NOT_READY);
  EXPECT_EQ(engine.PreloadData(), KAVREL_E_NOT_READY);
}

// Tokyo Station.
constexpr std::uint32_t kLat = 35681236;
constexpr std::uint32_t kLon = 139767125;

// One point with P 13, C 101, S 1234, and the names the test asks for.
pack::PackageWriter AddressPackage(bool pref, bool city, bool areaKey, bool areaBlock) {
  pack::PackageWriter writer = PointPackage({{kLat, kLon, 13, 101, 1234}});
  writer.Add("/P/000000.gzbin", NameBlock({{1, u"北海道"}, {pref ? 13 : 14, u"東京都"}}));
  writer.Add("/C/000000.gzbin", NameBlock({{city ? 101 : 100, u"千代田区"}}));
  if (areaBlock) writer.Add("/S/001000.gzbin", NameBlock({{areaKey ? 1234 : 1235, u"丸の内一丁目"}}));
  return writer;
}

TEST(ReverseGeocode, JoinsTheThreeNamesWithTheSeparatorAndAMissingNameLeavesItsPartEmpty) {
  struct Case {
    const char16_t* separator;  // null: SetSeparator never called
    bool pref, city, areaKey, areaBlock;
    std::u16string address;
  };
  const Case cases[] = {
      {nullptr, true, true, true, true, u"東京都千代田区丸の内一丁目"},
      {u",", true, true, true, true, u"東京都,千代田区,丸の内一丁目"},
      {u" / ", true, true, true, true, u"東京都 / 千代田区 / 丸の内一丁目"},
      {u",", false, true, true, true, u",千代田区,丸の内一丁目"},
      {u",", true, false, true, true, u"東京都,,丸の内一丁目"},
      {u",", true, true, false, true, u"東京都,千代田区,"},
      {u",", true, true, true, false, u"東京都,千代田区,"},
      {u",", false, false, false, false, u",,"},
  };
  for (const Case& c : cases) {
    TestEngine engine(AddressPackage(c.pref, c.city, c.areaKey, c.areaBlock));
    if (c.separator != nullptr) engine->SetSeparator(c.separator);
    std::u16string address;
    EXPECT_EQ(engine->ReverseGeocode(35.681236, 139.767125, address, nullptr), 0) << "row " << &c - cases;
    EXPECT_EQ(address, c.address) << "row " << &c - cases;
  }
}

TEST(ReverseGeocode, BeforeInitializeFindsNothing) {
  CkavrelcoreApp engine;
  std::u16string address;
  EXPECT_EQ(engine.ReverseGeocode(35.681236, 139.767125, address, nullptr), -1005);
}

TEST(ReverseGeocode, PreloadKeepsEveryBlockAndOtherwiseNoBlockStays) {
  // The S block is there but lacks the point's key: a name lookup that finds
  // nothing must drop its block too.
  pack::PackageWriter writer = AddressPackage(true, true, false, true);
  for (std::uint32_t band : {kLat - 10000, kLat + 10000, kLat + 50000}) {
    writer.Add(platform::Utf16ToUtf8(BuildPointBlockName(band)), PointBlock({{BandOf(band) + 1, kLon + 7}}));
  }
  for (const bool preload : {false, true}) {
    TestEngine engine(writer);
    if (preload) {
      ASSERT_EQ(engine->PreloadData(), 0);
    }
    for (int search = 0; search < 2; ++search) {
      std::u16string address;
      ASSERT_EQ(engine->ReverseGeocode(35.681236, 139.767125, address, nullptr), 0);
      EXPECT_EQ(address, u"東京都千代田区");
      for (std::int32_t i = 0; i < engine->Package().FileCount(); ++i) {
        EXPECT_EQ(engine->Package().File(i).State() == CDataPackageFile::kLoaded, preload)
            << "preload " << preload << ", search " << search << ", entry " << i;
      }
    }
  }
}

}  // namespace
}  // namespace kavrel
