// The HTTP routes of kavrel-serve over one open kavrel_ handle.
#pragma once

#include <string>

#include "kavrel.h"
#include "metrics.h"
#include "reverse_answer.h"
#include "serve_options.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace kavrel::serve {

class ReverseService {
public:
  // `handle` (not owned) stays open while the service lives. `packagePath`
  // is what /status reports; the licence line comes from the attribution
  // beside it.
  ReverseService(const kavrel_geocoder* handle, const ServeOptions& options, const std::string& packagePath);

  // Sets up `server`: the routes GET /reverse, POST /reverse, GET /status,
  // GET /metrics (and OPTIONS for CORS), the error answers, the access log,
  // the timeouts, TCP_NODELAY, the body limit and a worker per connection.
  void Install(httplib::Server& server);

private:
  void Reverse(const httplib::Request& request, httplib::Response& response);
  // A batch POST whose body has been read whole.
  void Batch(const httplib::Request& request, const std::string& body, httplib::Response& response);
  void Status(const httplib::Request& request, httplib::Response& response) const;

  const kavrel_geocoder* m_handle;
  ServeOptions m_options;
  AnswerContext m_context;
  std::string m_statusJson;
  Metrics m_metrics;
};

}  // namespace kavrel::serve
