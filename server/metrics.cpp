#include "metrics.h"

#include <algorithm>
#include <sstream>

namespace kavrel::serve {

namespace {

template <std::size_t N>
std::size_t IndexOf(const std::array<const char*, N>& names, const std::string& name) {
  // The last name is the catch-all "other".
  const auto found = std::find(names.begin(), names.end() - 1, name);
  return static_cast<std::size_t>(found - names.begin());
}

}  // namespace

void Metrics::CountRequest(const std::string& method, const std::string& path, int status) {
  // Known routes and methods only, so that odd requests cannot grow the text.
  const std::size_t route = IndexOf(kRoutes, path);
  const std::size_t verb = IndexOf(kMethods, method);
  if (status < kFirstStatus || status >= kFirstStatus + kStatuses) status = 500;
  const std::size_t index =
      (route * kMethods.size() + verb) * kStatuses + static_cast<std::size_t>(status - kFirstStatus);
  m_requests[index].fetch_add(1, std::memory_order_relaxed);
}

void Metrics::ObserveLatency(double seconds) {
  std::size_t bucket = 0;
  while (bucket < kBounds.size() && seconds > kBounds[bucket]) ++bucket;
  m_buckets[bucket].fetch_add(1, std::memory_order_relaxed);
  m_nanosecondsSum.fetch_add(static_cast<std::uint64_t>(std::max(0.0, seconds) * 1e9), std::memory_order_relaxed);
}

std::string Metrics::Text() const {
  std::ostringstream text;
  text << "# HELP kavrel_http_requests_total HTTP requests answered.\n"
          "# TYPE kavrel_http_requests_total counter\n";
  for (std::size_t index = 0; index < m_requests.size(); ++index) {
    const std::uint64_t n = m_requests[index].load(std::memory_order_relaxed);
    if (n == 0) continue;
    const std::size_t pair = index / kStatuses;
    text << "kavrel_http_requests_total{route=\"" << kRoutes[pair / kMethods.size()] << "\",method=\""
         << kMethods[pair % kMethods.size()] << "\",status=\"" << kFirstStatus + index % kStatuses << "\"} " << n
         << "\n";
  }
  text << "# HELP kavrel_lookups_total Coordinates looked up.\n"
          "# TYPE kavrel_lookups_total counter\n"
          "kavrel_lookups_total "
       << m_lookups.load(std::memory_order_relaxed) << "\n"
       << "# HELP kavrel_request_duration_seconds Time from a request's arrival at its handler to its answer.\n"
          "# TYPE kavrel_request_duration_seconds histogram\n";
  std::uint64_t count = 0;
  for (std::size_t i = 0; i < kBounds.size(); ++i) {
    count += m_buckets[i].load(std::memory_order_relaxed);
    text << "kavrel_request_duration_seconds_bucket{le=\"" << kBounds[i] << "\"} " << count << "\n";
  }
  count += m_buckets[kBounds.size()].load(std::memory_order_relaxed);
  text << "kavrel_request_duration_seconds_bucket{le=\"+Inf\"} " << count << "\n"
       << "kavrel_request_duration_seconds_sum " << static_cast<double>(m_nanosecondsSum.load()) / 1e9 << "\n"
       << "kavrel_request_duration_seconds_count " << count << "\n";
  return text.str();
}

}  // namespace kavrel::serve
