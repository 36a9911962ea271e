#include "kavrel/format/package_status.h"

namespace kavrel {

const char* PackageStatusText(PackageStatus status) {
  switch (status) {
    case PackageStatus::kOk:
      return "done";
    case PackageStatus::kAlreadyOpen:
      return "a package is open already";
    case PackageStatus::kNoFile:
      return "the file cannot be opened";
    case PackageStatus::kBadFormat:
      return "bad header or index";
    case PackageStatus::kNoEntry:
      return "no such entry";
    case PackageStatus::kNotLoaded:
      return "the entry is not in memory";
    case PackageStatus::kNoDecompressor:
      return "the inflater cannot start";
    case PackageStatus::kDamaged:
      return "damaged";
  }
  return "unknown status";
}

}  // namespace kavrel
