// The server's counters, written in the Prometheus text format.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

namespace kavrel::serve {

// Safe from any number of threads. Requests are counted by route (the path
// for the known ones, "other" for the rest), method and status.
class Metrics {
public:
  // Upper bounds of the latency histogram, seconds.
  static constexpr std::array<double, 10> kBounds = {0.0005, 0.001, 0.0025, 0.005, 0.01,
                                                     0.025,  0.05,  0.1,    0.5,   1.0};

  // One answered request (any status, the server's own refusals included).
  void CountRequest(const std::string& method, const std::string& path, int status);
  // The time a handler took for one request, seconds.
  void ObserveLatency(double seconds);
  void CountLookups(std::uint64_t count) { m_lookups.fetch_add(count, std::memory_order_relaxed); }

  // The text of /metrics: kavrel_http_requests_total{route,method,status},
  // kavrel_lookups_total, kavrel_request_duration_seconds (a histogram).
  std::string Text() const;

private:
  mutable std::mutex m_mutex;
  std::map<std::tuple<std::string, std::string, int>, std::uint64_t> m_requests;
  std::array<std::uint64_t, kBounds.size() + 1> m_buckets{};  // the last: above every bound
  double m_secondsSum = 0;
  std::atomic<std::uint64_t> m_lookups{0};
};

}  // namespace kavrel::serve
