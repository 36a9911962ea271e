// Version data of the console program.
#pragma once

#include <string_view>

#include "build_version.h"

namespace kavrel::console::version {

inline constexpr std::string_view kFileVersion = KAVREL_BUILD_VERSION;
inline constexpr std::string_view kProductVersion = KAVREL_BUILD_VERSION;
inline constexpr std::u16string_view kFileDescription = u"norvane reverse geocoder";
inline constexpr std::u16string_view kProductName = u"norvane reverse geocoder";
inline constexpr std::string_view kInternalName = "kavrel";
inline constexpr std::string_view kOriginalFileName = "kavrel";

// The three pieces of the first line of the version text; the label is the
// one users have always seen, independent of the file version above.
inline constexpr std::u16string_view kVersionLabel = u"version 1.1";
inline constexpr std::u16string_view kCopyright = u"Copyright (C) 2026 norvane";

}  // namespace kavrel::console::version
