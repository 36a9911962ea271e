#include <chrono>

#include "kavrel/platform/clock.h"

namespace kavrel::platform {

namespace {

std::int64_t Now() { return std::chrono::steady_clock::now().time_since_epoch().count(); }

}  // namespace

Stopwatch::Stopwatch() : m_start(Now()) {}

std::int64_t Stopwatch::ElapsedMilliseconds() const {
  const std::chrono::steady_clock::duration elapsed(Now() - m_start);
  return std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
}

}  // namespace kavrel::platform
