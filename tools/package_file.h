// Reading a whole file for the package tools.
#pragma once

#include <optional>
#include <string>

namespace kavrel::pack {

// The whole content of `path`, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

}  // namespace kavrel::pack
