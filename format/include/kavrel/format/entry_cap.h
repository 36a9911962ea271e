// The largest entry the package reader holds in memory.
#pragma once

#include <cstdint>

namespace kavrel {

// In bytes: 64 MiB, where real blocks take tens of kilobytes. An entry whose
// data, stored or inflated, would be larger is damaged, and the reader never
// loads it. A multiple of 64 KiB, the inflater's counting window.
inline constexpr std::uint32_t kMaxEntryBytes = 64u * 1024u * 1024u;

}  // namespace kavrel
