// The server's counters, written in the Prometheus text format.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace kavrel::serve {

// Safe from any number of threads, and without a lock: every counter is an
// atomic, so that counting never makes one request wait for another.
// Requests are counted by route (the path for the known ones, "other" for
// the rest), method and status.
class Metrics {
public:
  // Upper bounds of the latency histogram, seconds.
  static constexpr std::array<double, 10> kBounds = {0.0005, 0.001, 0.0025, 0.005, 0.01,
                                                     0.025,  0.05,  0.1,    0.5,   1.0};

  // One answered request (any status, the server's own refusals included).
  // A status outside 100..599 is counted as 500.
  void CountRequest(const std::string& method, const std::string& path, int status);
  // The time a handler took for one request, seconds.
  void ObserveLatency(double seconds);
  void CountLookups(std::uint64_t count) { m_lookups.fetch_add(count, std::memory_order_relaxed); }

  // The text of /metrics: kavrel_http_requests_total{route,method,status}
  // (the non-zero ones), kavrel_lookups_total, kavrel_request_duration_seconds
  // (a histogram).
  std::string Text() const;

private:
  static constexpr std::array<const char*, 4> kRoutes = {"/reverse", "/status", "/metrics", "other"};
  static constexpr std::array<const char*, 4> kMethods = {"GET", "POST", "OPTIONS", "other"};
  static constexpr int kFirstStatus = 100;
  static constexpr int kStatuses = 500;  // 100..599

  std::array<std::atomic<std::uint64_t>, kRoutes.size() * kMethods.size() * kStatuses> m_requests{};
  std::array<std::atomic<std::uint64_t>, kBounds.size() + 1> m_buckets{};  // the last: above every bound
  std::atomic<std::uint64_t> m_nanosecondsSum{0};
  std::atomic<std::uint64_t> m_lookups{0};
};

}  // namespace kavrel::serve
