// The command line of kavrel-serve.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kavrel::serve {

struct ServeOptions {
  std::string host = "127.0.0.1";  // loopback unless told otherwise
  int port = 8080;                  // 0 picks a free port
  std::string package;              // empty: the library's default package
  std::int32_t threads = 0;         // lookup threads of a batch; 0: the cores
  std::int32_t connections = 256;   // workers, one per open connection
  std::size_t maxBody = 64u << 20;  // bytes of a POST body
  std::size_t maxPoints = 1000000;  // points of one batch
  std::string cors;                 // Access-Control-Allow-Origin; empty: none
  double timeout = 1.0;             // seconds: read, write and keep-alive
  bool accessLog = true;            // one line per request on standard error
  bool help = false;
};

// Reads `arguments` (without the program name). On a bad argument returns
// false and puts one line saying which in `why`. Options:
//   --listen HOST:PORT  (an IPv6 host in brackets: [::1]:8080)
//   --package FILE  --threads N  --connections N  --max-body BYTES
//   --max-points N  --cors ORIGIN  --timeout SECONDS  --quiet  --help
bool ParseServeOptions(const std::vector<std::string>& arguments, ServeOptions& options, std::string& why);

// The usage text of --help.
const char* ServeUsage();

}  // namespace kavrel::serve
