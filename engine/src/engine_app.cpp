#include "engine_app.h"

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kavrel/format/blocks.h"
#include "kavrel/platform/files.h"
#include "kavrel/platform/library.h"
#include "kavrel/platform/text.h"
#include "kavrelcore.h"
#include "designed_search.h"
#include "package_codes.h"

namespace kavrel {

namespace {

bool Exists(const std::u16string& path) { return platform::FileExists(platform::Utf16ToUtf8(path)); }

// `relative` (a path whose parts are separated by '/', leading ".." parts
// included) from `folder`: each leading ".." takes away the last part of
// `folder` while it has one, so that the path names the folder plainly
// (/usr/bin and ../share/kavrel give /usr/share/kavrel).
std::string InstallFolder(std::string folder, std::string_view relative) {
  while (relative.substr(0, 3) == "../") {
    const std::size_t separator = folder.rfind(platform::kPathSeparator);
    if (separator == std::string::npos || separator == 0) break;
    folder.erase(separator);
    relative.remove_prefix(3);
  }
  return platform::JoinPath(folder, relative);
}

}  // namespace

std::vector<std::string> PackageFolders(bool besideLibrary) {
  std::vector<std::string> folders;
  const std::optional<std::string> program = platform::ProgramFolder();
  const std::optional<std::string> library =
      besideLibrary ? platform::OwnBinaryFolder() : std::optional<std::string>();
  if (program) folders.push_back(*program);
  if (library) {
    folders.push_back(*library);
    folders.push_back(platform::JoinPath(platform::JoinPath(*library, ".."), "bin"));
  }
  // The install's places come after every place searched before installs
  // put the package there, so that they never change which package a run
  // that found one before finds now.
  if (!std::string_view(KAVREL_PACKAGE_FOLDER_FROM_PROGRAM).empty()) {
    if (program) folders.push_back(InstallFolder(*program, KAVREL_PACKAGE_FOLDER_FROM_PROGRAM));
    if (library) folders.push_back(InstallFolder(*library, KAVREL_PACKAGE_FOLDER_FROM_LIBRARY));
  }
  if (!std::string_view(KAVREL_INSTALLED_PACKAGE_FOLDER).empty()) folders.push_back(KAVREL_INSTALLED_PACKAGE_FOLDER);
  return folders;
}

std::vector<std::u16string> PackagePlaces(const std::u16string& name, bool besideLibrary) {
  std::vector<std::u16string> places = {name};
  // A name that says where it is, is not looked for anywhere else.
  if (platform::HasFolder(name)) return places;
  const std::string current = platform::CurrentDirectory();
  if (!current.empty()) places.push_back(platform::JoinPath(platform::Utf8ToUtf16(current), name));
  for (const std::string& folder : PackageFolders(besideLibrary)) {
    places.push_back(platform::JoinPath(platform::Utf8ToUtf16(folder), name));
  }
  return places;
}

std::optional<std::u16string> FindDataFile(const std::u16string& name, bool besideLibrary) {
  for (const std::u16string& place : PackagePlaces(name, besideLibrary)) {
    if (Exists(place)) return place;
  }
  return std::nullopt;
}

std::int32_t CkavrelcoreApp::Initialize(const char16_t* dataFile) {
  m_strDataFile = dataFile != nullptr ? dataFile : kDefaultDataFile;
  const std::optional<std::u16string> found = FindDataFile(m_strDataFile);
  if (!found) {
    // The engine keeps any package it has open; only the path is forgotten.
    m_strDataFile.clear();
    return KAVREL_E_NO_FILE;
  }
  m_strDataFile = *found;
  const PackageStatus opening = m_package.Open(m_strDataFile);
  // Any open but one refused for an open package replaces the directory.
  if (opening != PackageStatus::kAlreadyOpen) m_index.reset();
  // Initialised even when the open failed, so that Cleanup closes whatever
  // the open left behind.
  m_bInitialized = 1;
  return DesignedCode(opening);
}

std::int32_t CkavrelcoreApp::Cleanup() {
  if (!m_bInitialized) return KAVREL_E_NOT_READY;
  // The parameters, the separator and the entries in memory are kept on
  // purpose: a host may clean up and initialise again without setting them
  // anew.
  m_package.Close();
  m_bInitialized = 0;
  m_strDataFile.clear();
  m_nPreload = 0;
  m_index.reset();
  return KAVREL_OK;
}

std::int32_t CkavrelcoreApp::SetStep(std::int32_t step, std::int32_t width) {
  m_parameters = StepParameters(step, width);
  return KAVREL_OK;
}

std::int32_t CkavrelcoreApp::SetSeparator(const char16_t* separator) {
  if (separator == nullptr) {
    m_strSeparator.clear();
  } else {
    m_strSeparator = separator;
  }
  return KAVREL_OK;
}

std::int32_t CkavrelcoreApp::PreloadData() {
  if (!m_bInitialized) return KAVREL_E_NOT_READY;
  // Entries that fail to load are skipped here and read on demand later.
  m_package.LoadAll();
  m_nPreload |= 1;
  m_index.reset();
  try {
    m_index = std::make_unique<const SearchIndex>(m_package);
  } catch (const std::exception&) {
    // Searches read the point and name blocks as they would without it.
  }
  return KAVREL_OK;
}

int CkavrelcoreApp::LoadPoints(std::uint32_t latKey) {
  LoadPointList(m_package, latKey, EffectiveParameters(m_parameters).bandRange, IsPreloaded(), m_points);
  return 1;
}

std::int32_t CkavrelcoreApp::LookupName(int level, std::uint32_t key, std::u16string& name) {
  return m_names.LookupName(m_package, level, key, IsPreloaded(), name);
}

std::int32_t CkavrelcoreApp::FindNearestPoint(std::uint32_t latKey, std::uint32_t lonKey, AddressKey& found,
                                              std::optional<BandPoint>* indexPoint) {
  const SearchIndex* index = Index();
  const DesignedWinner winner =
      FindDesignedWinner(index, {latKey, lonKey, EffectiveParameters(m_parameters)}, [&]() -> PointList& {
        LoadPoints(latKey);
        return m_points;
      });
  switch (winner.source) {
    case DesignedWinner::kIndex:
      found = index->Keys(winner.indexPoint);
      if (indexPoint != nullptr) *indexPoint = winner.indexPoint;
      return KAVREL_OK;
    case DesignedWinner::kList:
      found = m_points.keys[static_cast<std::size_t>(winner.listPoint)];
      return KAVREL_OK;
    case DesignedWinner::kNone:
      break;
  }
  return KAVREL_E_NOT_FOUND;
}

NameTexts CkavrelcoreApp::LookupNames(const AddressKey& keys) {
  const SearchIndex* index = Index();
  NameTexts names;
  for (int level = kLevelPref; level <= kLevelArea; ++level) {
    const std::uint32_t key = LevelKey(keys, level);
    if (index != nullptr && index->Names().Find(level, key, names[level])) continue;
    // A missing name leaves its part empty.
    LookupName(level, key, m_strNames[level]);
    names[level] = m_strNames[level];
  }
  return names;
}

std::int32_t CkavrelcoreApp::FindAddress(double latitude, double longitude, std::int32_t* elapsedMs,
                                         NameTexts& names) {
  const std::uint32_t latKey = CoordinateKey(latitude);
  const std::uint32_t lonKey = CoordinateKey(longitude);
  if (elapsedMs != nullptr) *elapsedMs = 0;
  std::optional<platform::IntervalTimer::Mark> start;
  if (elapsedMs != nullptr) start = m_timer.Start();

  AddressKey keys;
  std::optional<BandPoint> point;
  const std::int32_t result = FindNearestPoint(latKey, lonKey, keys, &point);
  // The index has the winner's names ready beside it.
  if (result == KAVREL_OK && (!point || !Index()->NamesOf(*point, names))) names = LookupNames(keys);
  if (start) *elapsedMs = static_cast<std::int32_t>(m_timer.ElapsedMilliseconds(*start));
  return result;
}

std::int32_t CkavrelcoreApp::ReverseGeocode(double latitude, double longitude, std::int32_t* elapsedMs) {
  NameTexts names;
  const std::int32_t result = FindAddress(latitude, longitude, elapsedMs, names);
  if (result == KAVREL_OK) JoinAddress(names, m_strSeparator, m_strAddress);
  return result;
}

std::int32_t CkavrelcoreApp::ReverseGeocode(double latitude, double longitude, std::u16string& address,
                                            std::int32_t* elapsedMs) {
  const std::int32_t result = ReverseGeocode(latitude, longitude, elapsedMs);
  if (result == KAVREL_OK) address = m_strAddress;
  return result;
}

}  // namespace kavrel
