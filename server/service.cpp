#include "service.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

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

// Rows per piece of a batch answer formatted by one thread, at least.
constexpr std::size_t kRowsPerPiece = 8192;

// The rows [begin, end) of a batch answer in the request's format: the CSV
// header or the array's '[' before row 0, its ']' after the last row.
std::string BatchRows(const AnswerContext& context, const ReverseRequest& request, const BatchPoints& points,
                      const std::vector<kavrel_answer>& answers, const std::vector<std::int32_t>& results,
                      std::size_t begin, std::size_t end) {
  std::string text;
  const std::size_t count = answers.size();
  if (begin == 0 && request.format == AnswerFormat::kCsv) text += kCsvHeader;
  if (begin == 0 && request.format == AnswerFormat::kJson) text.push_back('[');
  for (std::size_t i = begin; i < end; ++i) {
    const bool found = results[i] == KAVREL_SUCCESS;
    if (request.format == AnswerFormat::kCsv) {
      AppendCsvRow(text, points.latitudes[i], points.longitudes[i], found ? &answers[i] : nullptr);
      continue;
    }
    if (i > 0 && request.format == AnswerFormat::kJson) text.push_back(',');
    if (found) {
      AppendAnswer(text, context, AnswerFormat::kJson, request.detail, answers[i]);
    } else {
      AppendUnableToGeocode(text);
    }
    if (request.format == AnswerFormat::kJsonLines) text.push_back('\n');
  }
  if (end == count && request.format == AnswerFormat::kJson) text.push_back(']');
  return text;
}

// The whole batch answer in pieces, formatted on up to `threads` threads at
// once (writing the rows costs about as much as looking them up).
std::vector<std::string> BatchPieces(const AnswerContext& context, const ReverseRequest& request,
                                     const BatchPoints& points, const std::vector<kavrel_answer>& answers,
                                     const std::vector<std::int32_t>& results, std::int32_t threads) {
  const std::size_t count = answers.size();
  const std::size_t parts =
      std::max<std::size_t>(1, std::min<std::size_t>(static_cast<std::size_t>(threads), count / kRowsPerPiece));
  std::vector<std::string> pieces(parts);
  const auto format = [&](std::size_t part) {
    pieces[part] = BatchRows(context, request, points, answers, results, count * part / parts,
                             count * (part + 1) / parts);
  };
  std::vector<std::thread> workers;
  for (std::size_t part = 1; part < parts; ++part) {
    try {
      workers.emplace_back(format, part);
    } catch (const std::system_error&) {
      format(part);  // no thread to be had: this one writes the piece
    }
  }
  format(0);
  for (std::thread& worker : workers) worker.join();
  return pieces;
}

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

  server.Get("/reverse", [this](const httplib::Request& q, httplib::Response& r) { Reverse(q, r); });
  server.Post("/reverse", [this](const httplib::Request& q, httplib::Response& r) { Batch(q, r); });
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

void ReverseService::Batch(const httplib::Request& q, httplib::Response& r) {
  const Clock::time_point start = Clock::now();
  ReverseRequest request;
  std::string why;
  if (!ReadReverseRequest(q.params, false, true, request, why)) {
    Refuse(r, 400, why);
    return;
  }
  if (q.params.find("format") == q.params.end()) request.format = BatchFormatOfAccept(q.get_header_value("Accept"));
  BatchPoints points;
  switch (ReadBatchBody(q.body, m_options.maxPoints, points, why)) {
    case BodyResult::kRead: break;
    case BodyResult::kMalformed: Refuse(r, 400, "Malformed body: " + why + "."); return;
    case BodyResult::kTooManyPoints: Refuse(r, 413, "Too many points: " + why + "."); return;
  }
  const std::size_t count = points.latitudes.size();
  std::vector<kavrel_answer> answers(count);
  std::vector<std::int32_t> results(count);
  const std::int32_t status = kavrel_lookup_many(m_handle, count, points.latitudes.data(), points.longitudes.data(),
                                                 &request.query, m_options.threads, answers.data(), results.data());
  if (status != KAVREL_SUCCESS) {
    Refuse(r, status == KAVREL_INVALID_ARGUMENT ? 400 : 503, kavrel_result_text(status));
    return;
  }
  m_metrics.CountLookups(count);
  // The pieces are handed out as they are, without joining them first.
  const auto pieces = std::make_shared<std::vector<std::string>>(
      BatchPieces(m_context, request, points, answers, results, m_options.threads));
  std::size_t length = 0;
  for (const std::string& piece : *pieces) length += piece.size();
  r.set_content_provider(length, BatchType(request.format),
                         [pieces](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                           for (const std::string& piece : *pieces) {
                             if (offset < piece.size()) return sink.write(piece.data() + offset, piece.size() - offset);
                             offset -= piece.size();
                           }
                           return false;
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
