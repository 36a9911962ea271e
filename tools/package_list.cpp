#include "package_list.h"

#include <cstdio>

#include "package_file.h"
#include "package_index.h"

namespace kavrel::pack {

int ListPackage(const std::string& path, std::ostream& out, std::ostream& errors) {
  const PackageIndex index = ReadPackageIndex(ReadPackageFile(path));
  std::uint64_t stored = 0;
  for (const IndexEntry& entry : index.entries) {
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, " %-8s %10u %10u", MethodName(entry.method).c_str(),
                  static_cast<unsigned>(entry.storedSize), static_cast<unsigned>(entry.offset));
    // Block names are ASCII and at most 23 characters: one column fits them.
    std::string name = entry.displayName;
    if (name.size() < 24) name.resize(24, ' ');
    out << name << numbers << '\n';
    stored += entry.storedSize;
  }
  out << index.entries.size() << " entries, " << stored << " bytes stored, " << index.fileSize
      << " bytes in the file\n";
  for (const std::string& problem : index.problems) errors << path << ": " << problem << '\n';
  return index.problems.empty() ? 0 : 1;
}

}  // namespace kavrel::pack
