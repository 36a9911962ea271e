// The address text of a lookup: the prefecture, city and area names of the
// winning point joined by the caller's separator.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace kavrel {

// A point's names by level (kLevelPref, kLevelCity, kLevelArea).
using NameTexts = std::array<std::u16string_view, 3>;

// Sets `address` to P, separator, C, separator, S. An empty name leaves its
// part empty; both separators always stand.
inline void JoinAddress(const NameTexts& names, std::u16string_view separator, std::u16string& address) {
  address.clear();
  address += names[0];
  address += separator;
  address += names[1];
  address += separator;
  address += names[2];
}

}  // namespace kavrel
