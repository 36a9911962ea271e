// Clocks: a steady clock for elapsed times and the calendar clock.
#pragma once

#include <chrono>
#include <cstdint>

namespace kavrel::platform {

// Measures elapsed time on the steady clock from its construction.
class Stopwatch {
public:
  Stopwatch() : m_start(std::chrono::steady_clock::now()) {}
  // Whole milliseconds since construction, truncated toward zero.
  std::int64_t ElapsedMilliseconds() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now() - m_start).count();
  }

private:
  std::chrono::steady_clock::time_point m_start;
};

// Calendar time in whole seconds since 1970-01-01 00:00 UTC.
std::int64_t CalendarSeconds();

}  // namespace kavrel::platform
