#include <windows.h>

#include "kavrel/platform/clock.h"

namespace kavrel::platform {

namespace {

std::int64_t Now() {
  LARGE_INTEGER ticks{};
  QueryPerformanceCounter(&ticks);
  return ticks.QuadPart;
}

// Counter ticks in whole milliseconds, truncated toward zero.
std::int64_t Milliseconds(std::int64_t ticks) {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);  // ticks per second, fixed at boot
  // Whole seconds and the rest apart, so that the product cannot overflow.
  return ticks / frequency.QuadPart * 1000 + ticks % frequency.QuadPart * 1000 / frequency.QuadPart;
}

}  // namespace

Stopwatch::Stopwatch() : m_start(Now()) {}

std::int64_t Stopwatch::ElapsedMilliseconds() const { return Milliseconds(Now() - m_start); }

// QueryPerformanceCounter is cheap on Windows: every interval is two of its
// readings, converted as a Stopwatch converts them.
IntervalTimer::IntervalTimer() = default;

bool IntervalTimer::Counts() const { return true; }

IntervalTimer::Mark IntervalTimer::Start() const { return Mark{static_cast<std::uint64_t>(Now()), -1}; }

std::int64_t IntervalTimer::ElapsedMilliseconds(const Mark& start) {
  return Milliseconds(Now() - static_cast<std::int64_t>(start.counter));
}

void IntervalTimer::Calibrate(const Reading&) {}

}  // namespace kavrel::platform
