// Progress lines of a conversion: at each further tenth of an input whose
// size is known, and every few seconds for one whose size is not.
#pragma once

#include <cstdint>

namespace kavrel::console {

// Message 156 and CR LF at each further tenth of the input, as a percentage
// of the size the input had at the start.
class PercentProgress {
public:
  // `handle`: where the lines go (negative: nowhere); `size`: the input's
  // size in bytes, 0 for none shown.
  PercentProgress(int handle, std::uint64_t size) : m_handle(handle), m_size(size) {}

  // Called after each line with the read position in the same unit as the
  // size. At most one line per call: a jump over several tenths is caught up
  // by later calls one tenth at a time.
  void Update(std::uint64_t position, std::int32_t succeeded, std::int32_t failed);

private:
  int m_handle;
  std::uint64_t m_size;
  double m_threshold = 0.0;
};

// How often a conversion of an input without a known size says how far it
// has got.
inline constexpr std::int64_t kStreamProgressMilliseconds = 5000;

// "kavrel: progress: N lines, R lines/s" and a line feed, once an interval
// has passed since the start or since the last such line.
class StreamProgress {
public:
  // `handle`: where the lines go (negative: nowhere); `intervalMilliseconds`:
  // the least time between two lines (0: a line at every call).
  StreamProgress(int handle, std::int64_t intervalMilliseconds)
      : m_handle(handle), m_interval(intervalMilliseconds), m_next(intervalMilliseconds) {}

  // Called after each line with the lines done and the milliseconds since the
  // conversion started; the rate is lines per second over that time.
  void Update(std::uint64_t lines, std::int64_t elapsedMilliseconds);

private:
  int m_handle;
  std::int64_t m_interval;
  std::int64_t m_next;
};

}  // namespace kavrel::console
