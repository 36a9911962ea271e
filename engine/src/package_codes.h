// The package reader's statuses as the engine's two interfaces give them.
#pragma once

#include <cstdint>

#include "kavrel/format/package_status.h"

namespace kavrel {

// The designed result code (kavrelcore.h) of a reader status: kOk 0,
// kAlreadyOpen -1000, kNotLoaded -1002, kNoFile -1003, kBadFormat -1004,
// kNoEntry -1005, kNoDecompressor -1006, kDamaged -1007.
std::int32_t DesignedCode(PackageStatus status);

// The kavrel.h result code of an open's status: KAVREL_SUCCESS,
// KAVREL_PACKAGE_DAMAGED for kBadFormat, KAVREL_PACKAGE_NOT_FOUND for any
// other failure.
std::int32_t KavrelOpenCode(PackageStatus status);

}  // namespace kavrel
