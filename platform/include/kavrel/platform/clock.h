// Clocks: a steady clock for elapsed times and the calendar clock.
#pragma once

#include <cstdint>

namespace kavrel::platform {

// Measures elapsed time on the system's steady clock (std::chrono's
// steady_clock on POSIX, QueryPerformanceCounter on Windows) from its
// construction. Copyable; touches no shared state.
class Stopwatch {
public:
  Stopwatch();
  // Whole milliseconds since construction, truncated toward zero.
  std::int64_t ElapsedMilliseconds() const;

private:
  std::int64_t m_start;  // in the clock's own ticks
};

// Calendar time in whole seconds since 1970-01-01 00:00 UTC.
std::int64_t CalendarSeconds();

}  // namespace kavrel::platform
