// The engine's interface state: finding and opening the package, closing it,
// the search parameters, the separator and preloading.
#include "engine_app.h"

#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "kavrel/platform/files.h"
#include "kavrel/platform/text.h"
#include "kavrelcore.h"
#include "search.h"

namespace kavrel {

namespace {

constexpr char16_t kDefaultDataFile[] = u"kavreldata.bin";

bool Exists(const std::u16string& path) { return platform::FileExists(platform::Utf16ToUtf8(path)); }

}  // namespace

std::optional<std::u16string> FindDataFile(const std::u16string& name) {
  if (Exists(name)) return name;
  // A name that says where it is, is not looked for anywhere else.
  if (platform::HasFolder(name)) return std::nullopt;

  const std::string current = platform::CurrentDirectory();
  if (!current.empty()) {
    const std::u16string candidate = platform::JoinPath(platform::Utf8ToUtf16(current), name);
    if (Exists(candidate)) return candidate;
  }
  if (const std::optional<std::string> folder = platform::ProgramFolder()) {
    const std::u16string candidate = platform::JoinPath(platform::Utf8ToUtf16(*folder), name);
    if (Exists(candidate)) return candidate;
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
  const std::int32_t result = m_package.Open(m_strDataFile);
  // Any open but one refused for an open package replaces the directory.
  if (result != KAVREL_E_ALREADY_OPEN) m_index.reset();
  // Initialised even when the open failed, so that Cleanup closes whatever
  // the open left behind.
  m_bInitialized = 1;
  return result;
}

std::int32_t CkavrelcoreApp::Cleanup() {
  if (!m_bInitialized) return KAVREL_E_NOT_READY;
  // Step, width, separator and the entries in memory are kept on purpose: a
  // host may clean up and initialise again without setting them anew.
  m_package.Close();
  m_bInitialized = 0;
  m_strDataFile.clear();
  m_nPreload = 0;
  m_index.reset();
  return KAVREL_OK;
}

std::int32_t CkavrelcoreApp::SetStep(std::int32_t step, std::int32_t width) {
  const SearchParameters parameters = StepParameters(step, width);
  m_nStep = parameters.step;
  m_nWidth = parameters.width;
  m_nBandRange = parameters.bandRange;
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

}  // namespace kavrel
