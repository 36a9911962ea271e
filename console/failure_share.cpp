#include "failure_share.h"

#include <cstdio>

namespace kavrel::console {

std::string FailureShareExceeded(std::int64_t unanswered, std::int64_t withContent, double percent) {
  // Compared as counts so that 5 of 100 is not above 5% by a rounding.
  if (withContent <= 0 || static_cast<double>(unanswered) * 100.0 <= percent * static_cast<double>(withContent)) {
    return {};
  }
  char share[64];
  std::snprintf(share, sizeof share, "%.1f%%", static_cast<double>(unanswered) * 100.0 / static_cast<double>(withContent));
  char limit[64];
  std::snprintf(limit, sizeof limit, "%g%%", percent);
  return std::to_string(unanswered) + " of " + std::to_string(withContent) +
         " lines with content got no answer (" + share + "), more than /maxfail " + limit;
}

}  // namespace kavrel::console
