#include <windows.h>

#include "kavrel/platform/clock.h"

namespace kavrel::platform {

namespace {

std::int64_t Now() {
  LARGE_INTEGER ticks{};
  QueryPerformanceCounter(&ticks);
  return ticks.QuadPart;
}

}  // namespace

Stopwatch::Stopwatch() : m_start(Now()) {}

std::int64_t Stopwatch::ElapsedMilliseconds() const {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);  // ticks per second, fixed at boot
  const std::int64_t ticks = Now() - m_start;
  // Whole seconds and the rest apart, so that the product cannot overflow.
  return ticks / frequency.QuadPart * 1000 + ticks % frequency.QuadPart * 1000 / frequency.QuadPart;
}

}  // namespace kavrel::platform
