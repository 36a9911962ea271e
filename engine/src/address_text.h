// The address text of a lookup: the prefecture, city and area names of the
// winning point joined by the caller's separator.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
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

// The length of the text JoinAddress makes.
inline std::size_t AddressLength(const NameTexts& names, std::u16string_view separator) {
  return names[0].size() + names[1].size() + names[2].size() + 2 * separator.size();
}

// Writes the text JoinAddress makes and a terminator straight into `buffer`
// of `capacity` units of a 16-bit character type, without a copy between;
// false, writing nothing, when the buffer is null or cannot hold both.
template <typename Char>
bool WriteAddress(const NameTexts& names, std::u16string_view separator, Char* buffer, std::size_t capacity) {
  static_assert(sizeof(Char) == sizeof(char16_t), "UTF-16 code units");
  if (buffer == nullptr || capacity <= AddressLength(names, separator)) return false;
  Char* out = std::copy(names[0].begin(), names[0].end(), buffer);
  out = std::copy(separator.begin(), separator.end(), out);
  out = std::copy(names[1].begin(), names[1].end(), out);
  out = std::copy(separator.begin(), separator.end(), out);
  out = std::copy(names[2].begin(), names[2].end(), out);
  *out = 0;
  return true;
}

}  // namespace kavrel
