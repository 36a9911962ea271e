// kavrel-serve: reverse geocoding over HTTP. Opens one package into one
// kavrel_ handle, serves it until SIGTERM or SIGINT, then lets the requests
// in flight finish and exits 0.
#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "kavrel.h"
#include "kavrel/platform/files.h"
#include "serve_options.h"
#include "service.h"

namespace {

using kavrel::serve::ServeOptions;

// The package beside the program, where the build puts it, else the first
// of the folders where an install puts it that holds one (the library's
// list, kavrel_package_folder, in which the program's folder comes first):
// a service does not depend on the folder it was started from. With none
// anywhere, the one beside the program, which the failure then names.
std::string DefaultPackage() {
  std::vector<std::string> places;
  std::size_t length = 0;
  for (std::size_t index = 0; kavrel_package_folder(index, nullptr, 0, &length) == KAVREL_INVALID_ARGUMENT; ++index) {
    std::string folder(length + 1, '\0');
    if (kavrel_package_folder(index, folder.data(), folder.size(), &length) != KAVREL_SUCCESS) break;
    folder.resize(length);
    places.push_back(kavrel::platform::JoinPath(folder, KAVREL_DEFAULT_PACKAGE));
  }
  for (const std::string& place : places) {
    if (kavrel::platform::FileExists(place)) return place;
  }
  return places.empty() ? std::string(KAVREL_DEFAULT_PACKAGE) : places.front();
}

std::string ListenAddress(const std::string& host, int port) {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

// Binds `server` to the listening address of `options`; returns the port, or
// -1 when the address cannot be taken.
//
// The listening socket gets SO_REUSEADDR, not the library's SO_REUSEPORT, so
// that a second server on a port in use is refused rather than sharing it
// unnoticed. Its backlog is raised from the library's 5 to the system's
// limit: with many clients opening connections at once, a full backlog drops
// their SYNs, and each dropped one costs a second's retransmission.
int Bind(httplib::Server& server, const ServeOptions& options) {
  socket_t listening = INVALID_SOCKET;
  server.set_socket_options([&listening](socket_t sock) {
    const int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    listening = sock;  // the last one made is the one bound
  });
  const int port = options.port == 0 ? server.bind_to_any_port(options.host)
                                     : (server.bind_to_port(options.host, options.port) ? options.port : -1);
  if (port >= 0) listen(listening, SOMAXCONN);  // a second listen() only widens the queue
  return port;
}

int Serve(const ServeOptions& options) {
  const std::string package = options.package.empty() ? DefaultPackage() : options.package;
  kavrel_geocoder* handle = nullptr;
  if (const std::int32_t opened = kavrel_open(package.c_str(), &handle); opened != KAVREL_SUCCESS) {
    std::fprintf(stderr, "kavrel-serve: %s: %s\n", package.c_str(), kavrel_result_text(opened));
    return 1;
  }
  const std::unique_ptr<kavrel_geocoder, void (*)(kavrel_geocoder*)> owner(handle, kavrel_close);
  // A service answers the whole country: everything is made now, so that no
  // request pays a first touch and a shortage of memory shows at start.
  for (const std::int32_t mode : {KAVREL_MODE_DESIGNED, KAVREL_MODE_NEAREST}) {
    if (const std::int32_t made = kavrel_preload(handle, mode); made != KAVREL_SUCCESS) {
      std::fprintf(stderr, "kavrel-serve: %s: %s\n", package.c_str(), kavrel_result_text(made));
      return 1;
    }
  }

  // SIGTERM and SIGINT are taken by one thread with sigwait, so that stop()
  // runs in an ordinary thread; every thread started later inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  kavrel::serve::ReverseService service(handle, options, package);
  httplib::Server server;
  service.Install(server);
  const int port = Bind(server, options);
  if (port < 0) {
    std::fprintf(stderr, "kavrel-serve: cannot listen on %s\n", ListenAddress(options.host, options.port).c_str());
    return 1;
  }
  std::fprintf(stderr, "kavrel-serve: listening on http://%s/ (package %s)\n",
               ListenAddress(options.host, port).c_str(), package.c_str());

  std::thread stopper([&server, &stopSignals] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
  });
  const bool served = server.listen_after_bind();
  if (!served) pthread_kill(stopper.native_handle(), SIGTERM);  // the stopper waits no longer
  stopper.join();
  std::fprintf(stderr, "kavrel-serve: stopped\n");
  return served ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  ServeOptions options;
  std::string why;
  if (!kavrel::serve::ParseServeOptions(std::vector<std::string>(argv + 1, argv + argc), options, why)) {
    std::fprintf(stderr, "kavrel-serve: %s\n%s", why.c_str(), kavrel::serve::ServeUsage());
    return 2;
  }
  if (options.help) {
    std::fputs(kavrel::serve::ServeUsage(), stdout);
    return 0;
  }
  if (options.threads == 0) options.threads = static_cast<std::int32_t>(std::max(1u, std::thread::hardware_concurrency()));
  return Serve(options);
}
