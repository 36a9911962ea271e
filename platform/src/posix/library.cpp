#include "kavrel/platform/library.h"

#include <dlfcn.h>

#include <optional>
#include <utility>

#include "kavrel/platform/files.h"

namespace kavrel::platform {

bool SharedLibrary::Load(const std::string& fileName) {
  Release();
  m_handle = ::dlopen(fileName.c_str(), RTLD_NOW);
  const char* error = m_handle == nullptr ? ::dlerror() : nullptr;
  m_loadError = error != nullptr ? error : "";
  return m_handle != nullptr;
}

bool SharedLibrary::LoadForProgram(std::string_view name) {
  const std::string fileName = SharedLibraryFileName(name);
  if (Load(fileName)) return true;
  const std::string firstError = m_loadError;
  const std::optional<std::string> folder = ProgramFolder();
  const bool loaded = folder && (Load(JoinPath(*folder, fileName)) ||
                                 Load(JoinPath(JoinPath(*folder, kLibraryFolderFromProgram), fileName)));
  if (!loaded) m_loadError = firstError;
  return loaded;
}

void SharedLibrary::Release() {
  if (m_handle != nullptr) ::dlclose(m_handle);
  m_handle = nullptr;
}

void* SharedLibrary::Symbol(const char* name) const {
  return m_handle == nullptr ? nullptr : ::dlsym(m_handle, name);
}

std::string SharedLibraryFileName(std::string_view name) { return "lib" + std::string(name) + ".so"; }

std::optional<std::string> OwnBinaryFolder() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&OwnBinaryFolder), &info) == 0 || info.dli_fname == nullptr) {
    return std::nullopt;
  }
  const std::string path = info.dli_fname;
  const std::size_t separator = path.rfind(kPathSeparator);
  if (separator == std::string::npos) return std::nullopt;
  return path.substr(0, separator);
}

}  // namespace kavrel::platform
