#include "service.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

#include "batch_answer.h"
#include "batch_body.h"
#include "kavrel/format/package_attribution.h"
#include "kavrel/output/json.h"

namespace kavrel::serve {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kJsonType = "application/json; charset=utf-8";

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void Refuse(httplib::Response& response, int status, const std::string& message) {
  std::string body;
  AppendError(body, status, message);
  response.status = status;
  response.set_content(body, kJsonType);
}

// The message of the server's own refusals.
std::string StatusText(int status) {
  switch (status) {
    case 400: return "Bad request.";
    case 404: return "No such route: try /reverse, /status or /metrics.";
    case 405: return "Method not allowed.";
    case 413: return "Request body too large.";
    case 415: return "Unsupported media type.";
    case 414: return "Request target too long.";
    default: return "HTTP status " + std::to_string(status) + ".";
  }
}

// The bytes of a request line made safe for a one-line log: control bytes
// and the double quote become '?'.
std::string LogSafe(const std::string& text) {
  std::string safe = text.substr(0, 2048);
  for (char& c : safe) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '"') c = '?';
  }
  return safe;
}

std::string StatusJson(const kavrel_geocoder* handle, const std::string& packagePath) {
  kavrel_facts facts{};
  kavrel_facts_of(handle, &facts);
  std::string json = "{\"status\":0,\"message\":\"OK\",\"software_version\":";
  output::AppendJsonString(json, kavrel_version());
  json += ",\"package\":";
  output::AppendJsonString(json, packagePath);
  json += ",\"points\":" + std::to_string(facts.points) + ",\"prefectures\":" + std::to_string(facts.prefectures) +
          ",\"cities\":" + std::to_string(facts.cities) + ",\"areas\":" + std::to_string(facts.areas) + "}";
  return json;
}

std::string LicenceOf(const std::string& packagePath) {
  std::string attributionPath;
  return LicenceLine(format::AttributionBeside(packagePath, attributionPath));
}

// The media type of a batch answer in `format`.
const char* BatchType(AnswerFormat format) {
  switch (format) {
    case AnswerFormat::kCsv: return "text/csv; charset=utf-8";
    case AnswerFormat::kJsonLines: return "application/x-ndjson; charset=utf-8";
    default: return kJsonType;
  }
}

}  // namespace

ReverseService::ReverseService(const kavrel_geocoder* handle, const ServeOptions& options,
                               const std::string& packagePath)
    : m_handle(handle), m_options(options), m_context(LicenceOf(packagePath)),
      m_statusJson(StatusJson(handle, packagePath)) {}

void ReverseService::Install(httplib::Server& server) {
  // The server takes ownership of the queue it is handed.
  const auto workers = static_cast<std::size_t>(m_options.connections);
  server.new_task_queue = [workers] { return std::make_unique<httplib::ThreadPool>(workers).release(); };
  // Without TCP_NODELAY a keep-alive answer waits for the client's delayed
  // acknowledgement: hundreds of requests a second instead of thousands.
  server.set_tcp_nodelay(true);
  const auto seconds = static_cast<time_t>(m_options.timeout);
  const auto micros = static_cast<time_t>((m_options.timeout - static_cast<double>(seconds)) * 1e6);
  server.set_read_timeout(seconds, micros);
  server.set_write_timeout(seconds, micros);
  // Whole seconds only; at least one, so that an idle connection is closed
  // within about the timeout and stop() does not wait longer.
  server.set_keep_alive_timeout(seconds > 0 ? seconds : 1);
  server.set_payload_max_length(m_options.maxBody);
  // The library closes a connection after 5 requests by default, so that
  // every client reconnects all the time; a worker holds its connection
  // anyway, and an idle one is closed by the keep-alive timeout.
  server.set_keep_alive_max_count(std::numeric_limits<std::size_t>::max());

  server.Get("/reverse", [this](const httplib::Request& q, httplib::Response& r) { Reverse(q, r); });
  // The body is read here rather than by the server, which would take a body
  // sent as a form (what curl --data-binary sends by default) for query
  // parameters and refuse it past 8 KB.
  server.Post("/reverse", [this](const httplib::Request& q, httplib::Response& r, const httplib::ContentReader& read) {
    if (q.is_multipart_form_data()) {
      r.set_header("Connection", "close");  // the unread body must not be taken for the next request
      Refuse(r, 415, "Send the points as the body itself (CSV or JSON), not as a multipart form.");
      return;
    }
    std::string body;
    // On failure the server has set the status (413 for a body past the
    // limit, 400 for one that ends early); the error handler writes it.
    if (!read([&body](const char* data, std::size_t size) {
          body.append(data, size);
          return true;
        })) {
      return;
    }
    Batch(q, body, r);
  });
  server.Get("/status", [this](const httplib::Request& q, httplib::Response& r) { Status(q, r); });
  server.Get("/metrics", [this](const httplib::Request&, httplib::Response& r) {
    r.set_content(m_metrics.Text(), "text/plain; version=0.0.4; charset=utf-8");
  });
  server.Options(R"(/.*)", [](const httplib::Request&, httplib::Response& r) { r.status = 204; });
  server.set_post_routing_handler([this](const httplib::Request&, httplib::Response& r) {
    if (m_options.cors.empty()) return;
    r.set_header("Access-Control-Allow-Origin", m_options.cors);
    r.set_header("Access-Control-Allow-Methods", "GET, POST, OPTIONS");
    r.set_header("Access-Control-Allow-Headers", "Content-Type, Accept");
  });
  // The server's own refusals (unknown path 404, body too large 413, a
  // request that does not parse 400) get the error object too; answers that
  // carry one keep theirs.
  server.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request&, httplib::Response& r) {
        if (!r.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        Refuse(r, r.status, StatusText(r.status));
        return httplib::Server::HandlerResponse::Handled;
      }));
  server.set_exception_handler([](const httplib::Request&, httplib::Response& r, std::exception_ptr) {
    Refuse(r, 500, "Internal error.");
  });
  server.set_logger([this](const httplib::Request& q, const httplib::Response& r) {
    m_metrics.CountRequest(q.method, q.path, r.status);
    if (!m_options.accessLog) return;
    const std::string line = q.remote_addr + " \"" + LogSafe(q.method) + " " + LogSafe(q.target) + "\" " +
                             std::to_string(r.status) + " " +
                             std::to_string(r.body.empty() ? r.content_length_ : r.body.size()) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
  });
}

void ReverseService::Reverse(const httplib::Request& q, httplib::Response& r) {
  const Clock::time_point start = Clock::now();
  ReverseRequest request;
  std::string why;
  if (!ReadReverseRequest(q.params, true, false, request, why)) {
    Refuse(r, 400, why);
    return;
  }
  kavrel_answer found;
  const std::int32_t result = kavrel_lookup(m_handle, request.latitude, request.longitude, &request.query, &found);
  m_metrics.CountLookups(1);
  std::string body;
  if (result == KAVREL_SUCCESS) {
    AppendAnswer(body, m_context, request.format, request.detail, found);
  } else if (result == KAVREL_NO_ANSWER) {
    AppendUnableToGeocode(body);
  } else if (result == KAVREL_INVALID_ARGUMENT) {
    Refuse(r, 400, "The coordinates or the search parameters are not usable.");
    return;
  } else {
    Refuse(r, 503, kavrel_result_text(result));
    return;
  }
  r.set_content(body, kJsonType);
  m_metrics.ObserveLatency(SecondsSince(start));
}

void ReverseService::Batch(const httplib::Request& q, const std::string& body, httplib::Response& r) {
  const Clock::time_point start = Clock::now();
  ReverseRequest request;
  std::string why;
  if (!ReadReverseRequest(q.params, false, true, request, why)) {
    Refuse(r, 400, why);
    return;
  }
  if (q.params.find("format") == q.params.end()) request.format = BatchFormatOfAccept(q.get_header_value("Accept"));
  BatchPoints points;
  switch (ReadBatchBody(body, m_options.maxPoints, points, why)) {
    case BodyResult::kRead: break;
    case BodyResult::kMalformed: Refuse(r, 400, "Malformed body: " + why + "."); return;
    case BodyResult::kTooManyPoints: Refuse(r, 413, "Too many points: " + why + "."); return;
  }
  const auto batch = std::make_shared<BatchAnswer>(m_handle, m_context, request, std::move(points),
                                                   static_cast<std::size_t>(m_options.threads));
  // The first run is made before the answer starts, so that a failing
  // lookup is still answered with its status.
  if (const std::int32_t status = batch->Start(); status != KAVREL_SUCCESS) {
    Refuse(r, status == KAVREL_INVALID_ARGUMENT ? 400 : 503, kavrel_result_text(status));
    return;
  }
  m_metrics.CountLookups(batch->Rows());
  // Sent chunked, a run at a time as the runs are made, all in the provider's
  // first call. A later failure cuts the answer off, so that the client sees
  // it incomplete.
  r.set_chunked_content_provider(BatchType(request.format), [batch](std::size_t, httplib::DataSink& sink) {
    if (!batch->Send([&sink](std::string_view text) { return sink.write(text.data(), text.size()); })) return false;
    sink.done();
    return true;
  });
  m_metrics.ObserveLatency(SecondsSince(start));
}

void ReverseService::Status(const httplib::Request& q, httplib::Response& r) const {
  if (q.get_param_value("format") == "json") {
    r.set_content(m_statusJson, kJsonType);
  } else {
    r.set_content("OK", "text/plain; charset=utf-8");
  }
}

}  // namespace kavrel::serve
