#include "package_codes.h"

#include "kavrel.h"
#include "kavrel/format/entry_cap.h"
#include "kavrelcore.h"

namespace kavrel {

// The public header states the reader's cap to hosts.
static_assert(KAVREL_MAX_ENTRY_BYTES == kMaxEntryBytes);

std::int32_t DesignedCode(PackageStatus status) {
  switch (status) {
    case PackageStatus::kOk:
      return KAVREL_OK;
    case PackageStatus::kAlreadyOpen:
      return KAVREL_E_ALREADY_OPEN;
    case PackageStatus::kNotLoaded:
      return KAVREL_E_NOT_READY;
    case PackageStatus::kNoFile:
      return KAVREL_E_NO_FILE;
    case PackageStatus::kBadFormat:
      return KAVREL_E_FORMAT;
    case PackageStatus::kNoEntry:
      return KAVREL_E_NOT_FOUND;
    case PackageStatus::kNoDecompressor:
      return KAVREL_E_DECOMPRESSOR;
    case PackageStatus::kDamaged:
      break;
  }
  return KAVREL_E_INFLATE;
}

std::int32_t KavrelOpenCode(PackageStatus status) {
  if (status == PackageStatus::kOk) return KAVREL_SUCCESS;
  return status == PackageStatus::kBadFormat ? KAVREL_PACKAGE_DAMAGED : KAVREL_PACKAGE_NOT_FOUND;
}

}  // namespace kavrel
