// The most an entry may hold in memory, so that what a package costs stays
// in proportion to its size.
#pragma once

#include <algorithm>
#include <cstdint>

namespace kavrel {

// In bytes: 64 MiB, where real blocks take tens of kilobytes. An entry whose
// data, stored or inflated, would be larger is damaged, and the reader never
// loads it. A multiple of 64 KiB, the inflater's counting window.
inline constexpr std::uint32_t kMaxEntryBytes = 64u * 1024u * 1024u;

// The most bytes a deflated entry may inflate to per stored byte. Real
// blocks reach about 5; deflate itself reaches about 1030 on runs of one
// byte. With no two entries sharing stored bytes, the entries of a package
// hold at most this many times its size.
inline constexpr std::uint32_t kMaxInflationRatio = 64;

// The most bytes an entry of `storedSize` stored bytes may hold in memory:
// kMaxInflationRatio times its stored size, at most kMaxEntryBytes.
inline std::uint64_t MaxEntryContent(std::uint32_t storedSize) {
  return std::min<std::uint64_t>(kMaxEntryBytes, std::uint64_t{storedSize} * kMaxInflationRatio);
}

}  // namespace kavrel
