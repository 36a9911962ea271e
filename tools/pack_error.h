// The one error type of kavrel-pack: a message ready to be shown as it is.
#pragma once

#include <stdexcept>
#include <string>

namespace kavrel::pack {

// Thrown for bad input and for files that cannot be read or written. The
// message names the file (and the line, for input rows) and says what is
// wrong, e.g. "towns.csv:12: latitude "35,68" is not a number".
class PackError : public std::runtime_error {
public:
  explicit PackError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace kavrel::pack
