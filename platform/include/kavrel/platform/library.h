// Run-time loading of a shared library and lookup of its functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kavrel::platform {

// Where an install puts the shared libraries, relative to the programs'
// folder ('/' between parts), as the build decided it: "../lib", or
// "../lib/x86_64-linux-gnu" where the install's library folder is Debian's.
extern const char kLibraryFolderFromProgram[];

// A shared library loaded with dlopen(RTLD_NOW); released when destroyed.
// Move-only.
class SharedLibrary {
public:
  SharedLibrary() = default;
  ~SharedLibrary();
  SharedLibrary(SharedLibrary&& other) noexcept;
  SharedLibrary& operator=(SharedLibrary&& other) noexcept;
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Loads the library by file name, with the system's search order (the
  // program's RUNPATH first). Releases any library held before. False when
  // it cannot be loaded; LoadError() then says why.
  bool Load(const std::string& fileName);
  // Loads the library called `name` (see SharedLibraryFileName) where the
  // program's own links find it: by file name, so that the program's RUNPATH
  // (its folder, then kLibraryFolderFromProgram from it; see
  // link_options.cmake) and the
  // system's search apply; failing that, by path in those two folders, since
  // the loader reads the RUNPATH of the object that calls it, which is a
  // sanitizer's runtime when one intercepts the call. LoadError() keeps the
  // reason of the first attempt.
  bool LoadForProgram(std::string_view name);
  // Why the last Load failed, as the system's loader put it; empty after a
  // successful Load.
  const std::string& LoadError() const { return m_loadError; }
  // Releases the library; nothing happens when none is loaded.
  void Release();
  bool IsLoaded() const { return m_handle != nullptr; }

  // Address of the exported symbol `name`, or null when the library is not
  // loaded or has no such symbol.
  void* Symbol(const char* name) const;

  // Typed form of Symbol for function pointers.
  template <typename Function>
  Function Bind(const char* name) const {
    return reinterpret_cast<Function>(Symbol(name));
  }

private:
  void* m_handle = nullptr;
  std::string m_loadError;
};

// The folder, without a trailing separator, of the binary that holds this
// code: the shared library it is linked into, or the program. Nothing when
// the system cannot say.
std::optional<std::string> OwnBinaryFolder();

// The file name of the shared library called `name`: "kavrelcore" gives
// "libkavrelcore.so".
std::string SharedLibraryFileName(std::string_view name);

}  // namespace kavrel::platform
