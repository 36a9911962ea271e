#include <windows.h>

#include <utility>

#include "kavrel/platform/files.h"
#include "kavrel/platform/library.h"
#include "wide.h"

namespace kavrel::platform {

namespace {

HMODULE AsModule(void* handle) { return static_cast<HMODULE>(handle); }

}  // namespace

bool SharedLibrary::Load(const std::string& fileName) {
  Release();
  m_handle = LoadLibraryW(win32::Wide(fileName).c_str());
  m_loadError = m_handle == nullptr ? win32::ErrorText(GetLastError()) : "";
  return m_handle != nullptr;
}

// The system's search for a bare name starts in the program's own folder,
// which is where the library lies in the build and in the install tree.
bool SharedLibrary::LoadForProgram(std::string_view name) { return Load(SharedLibraryFileName(name)); }

void SharedLibrary::Release() {
  if (m_handle != nullptr) FreeLibrary(AsModule(m_handle));
  m_handle = nullptr;
}

void* SharedLibrary::Symbol(const char* name) const {
  return m_handle == nullptr ? nullptr : reinterpret_cast<void*>(GetProcAddress(AsModule(m_handle), name));
}

std::string SharedLibraryFileName(std::string_view name) { return std::string(name) + ".dll"; }

std::optional<std::string> OwnBinaryFolder() {
  HMODULE module = nullptr;
  const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&OwnBinaryFolder), &module)) return std::nullopt;
  const std::string path = win32::ModulePath(module);
  const std::size_t separator = path.rfind(kPathSeparator);
  if (separator == std::string::npos) return std::nullopt;
  return path.substr(0, separator);
}

}  // namespace kavrel::platform
