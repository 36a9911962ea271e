#include "kavrel/platform/library.h"

#include <dlfcn.h>

#include <utility>

namespace kavrel::platform {

SharedLibrary::~SharedLibrary() { Release(); }

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
  if (this != &other) {
    Release();
    m_handle = std::exchange(other.m_handle, nullptr);
  }
  return *this;
}

bool SharedLibrary::Load(const std::string& fileName) {
  Release();
  m_handle = ::dlopen(fileName.c_str(), RTLD_NOW);
  const char* error = m_handle == nullptr ? ::dlerror() : nullptr;
  m_loadError = error != nullptr ? error : "";
  return m_handle != nullptr;
}

void SharedLibrary::Release() {
  if (m_handle != nullptr) ::dlclose(m_handle);
  m_handle = nullptr;
}

void* SharedLibrary::Symbol(const char* name) const {
  return m_handle == nullptr ? nullptr : ::dlsym(m_handle, name);
}

}  // namespace kavrel::platform
