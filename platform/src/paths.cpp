#include "kavrel/platform/files.h"
#include "kavrel/platform/library.h"

// Paths as strings, the same on every system but for the separator.
namespace kavrel::platform {

const char kLibraryFolderFromProgram[] = KAVREL_LIBRARY_FOLDER_FROM_PROGRAM;

std::optional<std::string> ProgramFolder() {
  const std::string program = ExecutablePath();
  const std::size_t separator = program.rfind(kPathSeparator);
  if (separator == std::string::npos) return std::nullopt;
  return program.substr(0, separator);
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += kPathSeparator;
  path += name;
  return path;
}

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
  std::u16string path(folder);
  path += static_cast<char16_t>(kPathSeparator);
  path += name;
  return path;
}

bool HasFolder(std::u16string_view path) {
  return path.find(static_cast<char16_t>(kPathSeparator)) != std::u16string_view::npos;
}

std::u16string_view FileNamePart(std::u16string_view path) {
  const std::size_t separator = path.rfind(static_cast<char16_t>(kPathSeparator));
  return separator == std::u16string_view::npos ? path : path.substr(separator + 1);
}

}  // namespace kavrel::platform
