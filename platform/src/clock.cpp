#include "kavrel/platform/clock.h"

#include <ctime>

namespace kavrel::platform {

std::int64_t CalendarSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace kavrel::platform
