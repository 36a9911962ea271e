// What the package reader says of an open, a load or an unload. The reader's
// users turn these into their own result codes.
#pragma once

namespace kavrel {

enum class PackageStatus {
  kOk,
  kAlreadyOpen,     // open: a package is open already; nothing changed
  kNoFile,          // open: the file cannot be opened, or memory for its index
                    // ran out; load: the file is closed
  kBadFormat,       // open: a short header, a wrong magic, or an index that
                    // does not lie whole inside the file
  kNoEntry,         // load, unload: no entry has the name
  kNotLoaded,       // unload: the entry is not in memory
  kNoDecompressor,  // load: the inflater could not start
  kDamaged,         // load: the stream does not inflate to its end, the entry is
                    // damaged (see CDataPackage::LoadFile), a read failed or
                    // memory ran out
};

// A few English words for `status`, e.g. "no such entry", to go into a
// message. Never null; an unlisted value gives "unknown status".
const char* PackageStatusText(PackageStatus status);

}  // namespace kavrel
