#include "metrics.h"

#include <sstream>

namespace kavrel::serve {

void Metrics::CountRequest(const std::string& method, const std::string& path, int status) {
  // Known routes and methods only, so that odd requests cannot grow the table.
  const bool known = path == "/reverse" || path == "/status" || path == "/metrics";
  const bool usual = method == "GET" || method == "POST" || method == "OPTIONS";
  const std::lock_guard<std::mutex> lock(m_mutex);
  ++m_requests[{known ? path : "other", usual ? method : "other", status}];
}

void Metrics::ObserveLatency(double seconds) {
  std::size_t bucket = 0;
  while (bucket < kBounds.size() && seconds > kBounds[bucket]) ++bucket;
  const std::lock_guard<std::mutex> lock(m_mutex);
  ++m_buckets[bucket];
  m_secondsSum += seconds;
}

std::string Metrics::Text() const {
  std::ostringstream text;
  text << "# HELP kavrel_http_requests_total HTTP requests answered.\n"
          "# TYPE kavrel_http_requests_total counter\n";
  const std::lock_guard<std::mutex> lock(m_mutex);
  std::uint64_t count = 0;
  for (const auto& [key, n] : m_requests) {
    const auto& [route, method, status] = key;
    text << "kavrel_http_requests_total{route=\"" << route << "\",method=\"" << method << "\",status=\""
         << status << "\"} " << n << "\n";
  }
  text << "# HELP kavrel_lookups_total Coordinates looked up.\n"
          "# TYPE kavrel_lookups_total counter\n"
          "kavrel_lookups_total "
       << m_lookups.load(std::memory_order_relaxed) << "\n"
       << "# HELP kavrel_request_duration_seconds Time from a request's arrival at its handler to its answer.\n"
          "# TYPE kavrel_request_duration_seconds histogram\n";
  for (std::size_t i = 0; i < kBounds.size(); ++i) {
    count += m_buckets[i];
    text << "kavrel_request_duration_seconds_bucket{le=\"" << kBounds[i] << "\"} " << count << "\n";
  }
  count += m_buckets[kBounds.size()];
  text << "kavrel_request_duration_seconds_bucket{le=\"+Inf\"} " << count << "\n"
       << "kavrel_request_duration_seconds_sum " << m_secondsSum << "\n"
       << "kavrel_request_duration_seconds_count " << count << "\n";
  return text.str();
}

}  // namespace kavrel::serve
