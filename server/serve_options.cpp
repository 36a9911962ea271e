#include "serve_options.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kavrel::serve {

namespace {

template <typename Number>
bool ReadWhole(const std::string& text, Number low, Number& value) {
  Number read{};
  const char* end = text.data() + text.size();
  const std::from_chars_result result = std::from_chars(text.data(), end, read);
  if (result.ec != std::errc() || result.ptr != end || read < low) return false;
  value = read;
  return true;
}

bool ReadListen(const std::string& text, ServeOptions& options) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  std::string host = text.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  int port = 0;
  if (!ReadWhole(text.substr(colon + 1), 0, port) || port > 65535) return false;
  options.host = host;
  options.port = port;
  return true;
}

}  // namespace

bool ParseServeOptions(const std::vector<std::string>& arguments, ServeOptions& options, std::string& why) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (word == "--help" || word == "-h") {
      options.help = true;
      continue;
    }
    if (word == "--quiet") {
      options.accessLog = false;
      continue;
    }
    if (i + 1 >= arguments.size()) {
      why = "missing value or unknown option: " + word;
      return false;
    }
    const std::string& value = arguments[++i];
    bool read = true;
    if (word == "--listen") {
      read = ReadListen(value, options);
    } else if (word == "--package") {
      options.package = value;
    } else if (word == "--threads") {
      read = ReadWhole(value, 0, options.threads);
    } else if (word == "--connections") {
      read = ReadWhole(value, 1, options.connections);
    } else if (word == "--max-body") {
      read = ReadWhole(value, std::size_t{1}, options.maxBody);
    } else if (word == "--max-points") {
      read = ReadWhole(value, std::size_t{1}, options.maxPoints);
    } else if (word == "--cors") {
      options.cors = value;
    } else if (word == "--timeout") {
      double seconds = 0;
      read = ReadWhole(value, 0.001, seconds) && seconds <= 3600;
      if (read) options.timeout = seconds;
    } else {
      why = "unknown option: " + word;
      return false;
    }
    if (!read) {
      why = "unusable value: " + word + " " + value;
      return false;
    }
  }
  return true;
}

const char* ServeUsage() {
  return "usage: kavrel-serve [options]\n"
         "  --listen HOST:PORT   address to listen on (default 127.0.0.1:8080; port 0 picks a free port)\n"
         "  --package FILE       data package (default: the library's default package)\n"
         "  --threads N          lookup threads of a batch request (default: the cores)\n"
         "  --connections N      connections served at once, one worker each (default 256)\n"
         "  --max-body BYTES     largest POST body (default 67108864); larger is 413\n"
         "  --max-points N       most points of one batch (default 1000000); more is 413\n"
         "  --cors ORIGIN        send Access-Control-Allow-Origin: ORIGIN\n"
         "  --timeout SECONDS    read, write and keep-alive timeout (default 1)\n"
         "  --quiet              no access log on standard error\n";
}

}  // namespace kavrel::serve
