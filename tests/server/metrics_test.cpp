// The /metrics counters: what odd requests are counted as, and the histogram.
#include "metrics.h"

#include <gtest/gtest.h>

#include <string>

namespace kavrel::serve {
namespace {

bool Has(const std::string& text, const std::string& line) { return text.find(line + "\n") != std::string::npos; }

TEST(Metrics, OddRoutesMethodsAndStatusesAreFoldedNotAdded) {
  Metrics metrics;
  metrics.CountRequest("GET", "/reverse", 200);
  metrics.CountRequest("GET", "/reverse", 200);
  metrics.CountRequest("BREW", "/pot/../../x", 418);
  metrics.CountRequest("POST", "/reverse", -1);   // a request the server could not answer
  metrics.CountRequest("GET", "/status", 1000);
  const std::string text = metrics.Text();
  EXPECT_TRUE(Has(text, R"(kavrel_http_requests_total{route="/reverse",method="GET",status="200"} 2)"));
  EXPECT_TRUE(Has(text, R"(kavrel_http_requests_total{route="other",method="other",status="418"} 1)"));
  EXPECT_TRUE(Has(text, R"(kavrel_http_requests_total{route="/reverse",method="POST",status="500"} 1)"));
  EXPECT_TRUE(Has(text, R"(kavrel_http_requests_total{route="/status",method="GET",status="500"} 1)"));
  EXPECT_EQ(text.find("/pot"), std::string::npos);
  EXPECT_EQ(text.find("BREW"), std::string::npos);
}

TEST(Metrics, TheHistogramIsCumulativeAndSumsTheSeconds) {
  Metrics metrics;
  metrics.ObserveLatency(0.0001);  // first bucket
  metrics.ObserveLatency(0.003);   // le 0.005
  metrics.ObserveLatency(5.0);     // above every bound
  metrics.CountLookups(100000);
  const std::string text = metrics.Text();
  EXPECT_TRUE(Has(text, R"(kavrel_request_duration_seconds_bucket{le="0.0005"} 1)"));
  EXPECT_TRUE(Has(text, R"(kavrel_request_duration_seconds_bucket{le="0.0025"} 1)"));
  EXPECT_TRUE(Has(text, R"(kavrel_request_duration_seconds_bucket{le="0.005"} 2)"));
  EXPECT_TRUE(Has(text, R"(kavrel_request_duration_seconds_bucket{le="1"} 2)"));
  EXPECT_TRUE(Has(text, R"(kavrel_request_duration_seconds_bucket{le="+Inf"} 3)"));
  EXPECT_TRUE(Has(text, "kavrel_request_duration_seconds_count 3"));
  EXPECT_TRUE(Has(text, "kavrel_request_duration_seconds_sum 5.0031"));
  EXPECT_TRUE(Has(text, "kavrel_lookups_total 100000"));
}

}  // namespace
}  // namespace kavrel::serve
