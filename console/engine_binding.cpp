#include "engine_binding.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>

#include "failure_report.h"
#include "kavrel/platform/files.h"
#include "kavrel/platform/text.h"

namespace kavrel::console {

namespace {

// The reason PackageOpenFailure gives for error number `error`.
std::string OpenErrorText(int error) {
  if (error == ESPIPE) {
    return "it is not a regular file but a pipe, a socket or a device (a package is read at "
           "places all over it, so it must be a file)";
  }
  return platform::SystemErrorText(error);
}

}  // namespace

std::string PackageOpenFailure(const std::string& path) {
  platform::ReadOnlyFile file;
  if (file.Open(path)) return "it opens now, but did not for the engine";
  return OpenErrorText(errno);
}

std::string DescribeMissingPackage(const std::u16string& dataFile, const std::vector<std::string>& folders) {
  // A name that is there but cannot be opened (a loop of symbolic links, a
  // folder without permission) is told with the system's reason.
  for (const std::string& candidate : PackageCandidates(dataFile, folders)) {
    platform::ReadOnlyFile file;
    if (file.Open(candidate)) continue;
    if (errno != ENOENT && errno != ENOTDIR) {
      return "cannot open the data package " + Quoted(candidate) + ": " + OpenErrorText(errno);
    }
  }
  return "no data package: looked for " + PackagePlaces(dataFile, folders);
}

std::vector<std::string> PackageCandidates(const std::u16string& dataFile, const std::vector<std::string>& folders) {
  // File names are bytes: a name the codeset cannot read is kept as given.
  const std::string name = platform::Utf16ToConsoleKeepingBytes(dataFile);
  if (platform::HasFolder(dataFile)) return {name};
  std::vector<std::string> candidates = {name};
  for (const std::string& folder : folders) candidates.push_back(platform::JoinPath(folder, name));
  return candidates;
}

std::string PackagePlaces(const std::u16string& dataFile, const std::vector<std::string>& folders) {
  std::vector<std::string> candidates = PackageCandidates(dataFile, folders);
  // A bare name as given is the one in the current folder: say which that is.
  if (!platform::HasFolder(dataFile)) {
    candidates.front() = platform::JoinPath(platform::CurrentDirectory(), candidates.front());
  }
  std::string places;
  for (const std::string& candidate : candidates) {
    places += (places.empty() ? "" : " and ") + Quoted(candidate);
  }
  return places;
}

std::string DescribeDamagedPackage(const std::string& path) {
  return "the data package " + Quoted(path) + " is damaged: its header or index is not valid";
}

std::int32_t CEngineBinding::BindLibrary() {
  UnloadEngine();
  m_libraryError.clear();
  if (!m_module.LoadForProgram(kEngineLibrary)) {
    m_libraryError = m_module.LoadError();
    return kEngineNotLoadable;
  }
  m_designed.getInfo = m_module.Bind<KavrelGetInfoFn>("GetInfo");
  m_designed.initialize = m_module.Bind<KavrelInitializeFn>("Initialize");
  m_designed.cleanup = m_module.Bind<KavrelCleanupFn>("Cleanup");
  m_designed.preloadData = m_module.Bind<KavrelPreloadDataFn>("PreloadData");
  m_designed.setStep = m_module.Bind<KavrelSetStepFn>("SetStep");
  m_designed.setSeparator = m_module.Bind<KavrelSetSeparatorFn>("SetSeparator");
  m_designed.reverseGeocoding = m_module.Bind<KavrelReverseGeocodingFn>("ReverseGeocoding");
  m_designed.isJapanRegion = m_module.Bind<KavrelIsJapanRegionFn>("IsJapanRegion");
  m_designed.getDatafilename = m_module.Bind<KavrelGetDatafilenameFn>("GetDatafilename");
  m_threadSafe.version = m_module.Bind<kavrel_version_fn>("kavrel_version");
  m_threadSafe.resultText = m_module.Bind<kavrel_result_text_fn>("kavrel_result_text");
  m_threadSafe.open = m_module.Bind<kavrel_open_fn>("kavrel_open");
  m_threadSafe.close = m_module.Bind<kavrel_close_fn>("kavrel_close");
  m_threadSafe.factsOf = m_module.Bind<kavrel_facts_of_fn>("kavrel_facts_of");
  m_threadSafe.lookupMany = m_module.Bind<kavrel_lookup_many_fn>("kavrel_lookup_many");
  m_threadSafe.attribution = m_module.Bind<kavrel_attribution_fn>("kavrel_attribution");
  m_threadSafe.packageFolder = m_module.Bind<kavrel_package_folder_fn>("kavrel_package_folder");
  return 0;
}

std::int32_t CEngineBinding::LoadEngine(const std::u16string& dataFile) {
  if (const std::int32_t bound = BindLibrary(); bound != 0) return bound;
  if (m_designed.initialize == nullptr) return kEntryMissing;
  m_dataFile = dataFile;
  return m_designed.initialize(LibraryText(m_dataFile).c_str());
}

std::int32_t CEngineBinding::SetStep(std::int32_t step, std::int32_t width) const {
  return m_designed.setStep != nullptr ? m_designed.setStep(step, width) : kEntryMissing;
}

std::int32_t CEngineBinding::SetSeparator(const std::u16string& separator) const {
  if (m_designed.setSeparator == nullptr) return kEntryMissing;
  return m_designed.setSeparator(LibraryText(separator).c_str());
}

std::int32_t CEngineBinding::PreloadData() const {
  return m_designed.preloadData != nullptr ? m_designed.preloadData() : kEntryMissing;
}

std::vector<std::string> CEngineBinding::PackageFolders() const {
  std::vector<std::string> folders;
  const kavrel_package_folder_fn folderAt = m_threadSafe.packageFolder;
  if (folderAt == nullptr) return folders;
  std::size_t length = 0;
  for (std::size_t index = 0; folderAt(index, nullptr, 0, &length) == KAVREL_INVALID_ARGUMENT; ++index) {
    std::string folder(length + 1, '\0');
    if (folderAt(index, folder.data(), folder.size(), &length) != KAVREL_SUCCESS) break;
    folder.resize(length);
    folders.push_back(std::move(folder));
  }
  return folders;
}

const ThreadSafeEntries* CEngineBinding::ThreadSafe() const {
  return m_threadSafe.IsComplete() ? &m_threadSafe : nullptr;
}

std::int32_t CEngineBinding::ReverseLookup(double latitude, double longitude,
                                           std::u16string& address) const {
  if (m_designed.isJapanRegion == nullptr || m_designed.reverseGeocoding == nullptr) return kEntryMissing;
  if (m_designed.isJapanRegion(latitude, longitude) == 0) return kOutsideArea;
  // The buffer is zero-filled once, with the binding, not per lookup: the
  // engine ends every text with a zero, and the bound keeps a faulty engine
  // from taking the read past the buffer.
  kavrel_char* buffer = m_addressBuffer.data();
  std::uint32_t capacity = kAddressCapacity;
  std::int32_t elapsed = 0;
  const std::int32_t result = m_designed.reverseGeocoding(latitude, longitude, buffer, &capacity, &elapsed);
  if (result != 0) return result;
  std::size_t length = 0;
  while (length < kAddressCapacity && buffer[length] != 0) ++length;
  address.assign(buffer, buffer + length);
  return 0;
}

void CEngineBinding::UnloadEngine() {
  // The engine closes its package before the library goes away.
  if (m_module.IsLoaded() && m_designed.cleanup != nullptr) m_designed.cleanup();
  m_module.Release();
  m_designed = {};
  m_threadSafe = {};
}

std::string CEngineBinding::DataFilePath() const {
  if (m_designed.getDatafilename == nullptr) return {};
  std::uint32_t size = 0;
  if (m_designed.getDatafilename(nullptr, &size) != KAVREL_E_FORMAT || size < 2) return {};
  std::basic_string<kavrel_char> path(size / 2, 0);
  if (m_designed.getDatafilename(path.data(), &size) != 0) return {};
  path.resize(std::min(path.find(kavrel_char{0}), path.size()));
  // The engine made the path from file system bytes read as UTF-8.
  return platform::Utf16ToUtf8(std::u16string(path.begin(), path.end()));
}

std::string CEngineBinding::DescribeLoadFailure(std::int32_t code) const {
  if (code == kEngineNotLoadable) {
    return "cannot load the engine library " + platform::SharedLibraryFileName(kEngineLibrary) +
           " (looked for beside the program, in " + platform::kLibraryFolderFromProgram +
           " and on the system's library path): " +
           m_libraryError;
  }
  if (code == kEntryMissing) {
    return "the engine library has no function Initialize: it is not a kavrel engine";
  }
  const std::string package = DataFilePath();
  if (code == KAVREL_E_NO_FILE && package.empty()) return DescribeMissingPackage(m_dataFile, PackageFolders());
  if (code == KAVREL_E_NO_FILE) {
    return "cannot open the data package " + Quoted(package) + ": " + PackageOpenFailure(package);
  }
  if (code == KAVREL_E_FORMAT) {
    return DescribeDamagedPackage(package);
  }
  return "the engine did not start with the data package " + Quoted(package) + ": " +
         ResultCodeMeaning(code);
}

}  // namespace kavrel::console
