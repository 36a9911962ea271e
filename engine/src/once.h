// A value made by the first reader that needs it, once, for any number of
// threads: later readers pay one atomic load and take no lock.
#pragma once

#include <atomic>
#include <mutex>

namespace kavrel {

template <typename T>
class Once {
public:
  Once() = default;
  Once(const Once&) = delete;
  Once& operator=(const Once&) = delete;

  // The value, made by `make()` (returning a T) if no call has made it yet.
  // Concurrent first readers wait for the one that makes it. When `make`
  // throws, nothing is kept and the exception passes on: a later call tries
  // again.
  template <typename Make>
  const T& Get(Make&& make) {
    if (!m_ready.load(std::memory_order_acquire)) {
      const std::lock_guard<std::mutex> lock(m_making);
      if (!m_ready.load(std::memory_order_relaxed)) {
        m_value = make();
        m_ready.store(true, std::memory_order_release);
      }
    }
    return m_value;
  }

  // The value when a call has made it, else null; never makes it.
  const T* IfMade() const {
    return m_ready.load(std::memory_order_acquire) ? &m_value : nullptr;
  }

private:
  std::atomic<bool> m_ready{false};
  std::mutex m_making;
  T m_value{};
};

}  // namespace kavrel
