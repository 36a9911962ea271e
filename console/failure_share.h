// /maxfail: whether too many lines of a conversion got no answer.
#pragma once

#include <cstdint>
#include <string>

namespace kavrel::console {

// Empty when `unanswered` of the `withContent` lines is no more than
// `percent` (0 to 100) percent of them; otherwise one report line giving the
// counts and the limit. No lines with content is never too many.
std::string FailureShareExceeded(std::int64_t unanswered, std::int64_t withContent, double percent);

}  // namespace kavrel::console
