// Clocks: a steady clock for elapsed times and the calendar clock.
#pragma once

#include <cstdint>
#include <optional>

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

// Times many short intervals in whole milliseconds, as Stopwatch does, at
// less cost a reading. On x86-64 POSIX systems whose processor counter (the
// time-stamp counter) runs at one rate in every power state, an interval is
// two counter readings, converted at the counter's rate once that has been
// measured against the steady clock over a tenth of a second of the timer's
// use; until then, and on other systems, it reads the steady clock
// (QueryPerformanceCounter on Windows). Not for concurrent use.
class IntervalTimer {
public:
  // Where an interval starts, for ElapsedMilliseconds of the same timer.
  struct Mark {
    std::uint64_t counter = 0;  // the processor counter, when counted
    std::int64_t steady = -1;   // the steady clock in ns, or -1 when counted
  };

  IntervalTimer();
  Mark Start() const;
  // Whole milliseconds since `start`, truncated toward zero.
  std::int64_t ElapsedMilliseconds(const Mark& start);
  // Whether intervals are counted on the processor counter by now (always
  // on Windows).
  bool Counts() const;

private:
  struct Reading {
    std::uint64_t counter = 0;  // the midpoint of two counter readings...
    std::uint64_t width = 0;    // ...this far apart...
    std::int64_t steady = 0;    // ...around this steady clock reading (ns)
  };
  void Calibrate(const Reading& now);

  bool m_counterSteady = false;     // the counter may be used at all
  std::optional<Reading> m_origin;  // the first reading of a calibration
  double m_msPerTick = 0.0;         // 0 until measured
};

// Calendar time in whole seconds since 1970-01-01 00:00 UTC.
std::int64_t CalendarSeconds();

}  // namespace kavrel::platform
