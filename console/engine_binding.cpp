#include "engine_binding.h"

#include "kavrel/platform/files.h"
#include "resources/messages.h"

namespace kavrel::console {

namespace {

// Loads the engine by bare name, so the program's RUNPATH ($ORIGIN, then
// $ORIGIN/../lib) and the system's search order apply. The dynamic loader
// reads the RUNPATH of the object that calls dlopen; when a sanitizer
// runtime intercepts the call, that object is the runtime, so the two
// RUNPATH folders are then tried by path.
bool LoadEngineLibrary(platform::SharedLibrary& module) {
  if (module.Load(kEngineLibraryName)) return true;
  const std::string program = platform::ExecutablePath();
  const std::size_t slash = program.rfind(platform::kPathSeparator);
  if (slash == std::string::npos) return false;
  const std::string folder = program.substr(0, slash + 1);
  return module.Load(folder + kEngineLibraryName) ||
         module.Load(folder + "../lib/" + kEngineLibraryName);
}

}  // namespace

std::int32_t CEngineBinding::LoadEngine() {
  UnloadEngine();
  if (!LoadEngineLibrary(m_module)) return kEngineNotLoadable;
  m_pGetInfo = m_module.Bind<KavrelGetInfoFn>("GetInfo");
  m_pInitialize = m_module.Bind<KavrelInitializeFn>("Initialize");
  m_pCleanup = m_module.Bind<KavrelCleanupFn>("Cleanup");
  m_pPreloadData = m_module.Bind<KavrelPreloadDataFn>("PreloadData");
  m_pSetStep = m_module.Bind<KavrelSetStepFn>("SetStep");
  m_pSetSeparator = m_module.Bind<KavrelSetSeparatorFn>("SetSeparator");
  m_pReverseGeocoding = m_module.Bind<KavrelReverseGeocodingFn>("ReverseGeocoding");
  m_pIsJapanRegion = m_module.Bind<KavrelIsJapanRegionFn>("IsJapanRegion");
  if (m_pInitialize == nullptr) return kEntryMissing;
  return m_pInitialize(kDataFileName);
}

std::int32_t CEngineBinding::ReverseLookup(double latitude, double longitude,
                                           std::u16string& address) const {
  if (m_pIsJapanRegion == nullptr || m_pReverseGeocoding == nullptr) return kEntryMissing;
  if (m_pIsJapanRegion(latitude, longitude) == 0) return kOutsideArea;
  kavrel_char buffer[kAddressCapacity] = {};
  std::uint32_t capacity = kAddressCapacity;
  std::int32_t elapsed = 0;
  const std::int32_t result = m_pReverseGeocoding(latitude, longitude, buffer, &capacity, &elapsed);
  if (result != 0) return result;
  // The engine ends the text with a zero; the bound keeps a faulty engine
  // from taking the read past the buffer.
  std::size_t length = 0;
  while (length < kAddressCapacity && buffer[length] != 0) ++length;
  address.assign(buffer, length);
  return 0;
}

void CEngineBinding::UnloadEngine() {
  // The engine closes its package before the library goes away.
  if (m_module.IsLoaded() && m_pCleanup != nullptr) m_pCleanup();
  m_module.Release();
  m_pGetInfo = nullptr;
  m_pInitialize = nullptr;
  m_pCleanup = nullptr;
  m_pPreloadData = nullptr;
  m_pSetStep = nullptr;
  m_pSetSeparator = nullptr;
  m_pReverseGeocoding = nullptr;
  m_pIsJapanRegion = nullptr;
}

bool CAppInfo::LookupSinglePoint(CConsoleOutput& out, double latitude, double longitude) {
  if (m_engine.LoadEngine() != 0) {
    out.Write(LoadMessage(kMsgEngineInitFailed));
    return false;
  }
  bool parametersSet = false;
  if (m_engine.m_pSetStep != nullptr && m_nStep > 0 && m_nWidth > 0) {
    m_engine.m_pSetStep(m_nStep, m_nWidth);
    parametersSet = m_engine.m_pSetSeparator != nullptr &&
                    m_engine.m_pSetSeparator(m_strSeparator.c_str()) == 0;
  }
  if (!parametersSet) {
    out.Write(LoadMessage(kMsgParameterFailed));
    return false;
  }
  std::u16string address;
  if (m_engine.ReverseLookup(latitude, longitude, address) != 0) return false;
  out.Write(address);
  return !address.empty();
}

}  // namespace kavrel::console
