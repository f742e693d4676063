#pragma once
// A fixture HTTP server for tests: it runs in the test process on 127.0.0.1 and an ephemeral port,
// serves what the test tells it per path, and records every request it received.
//
// Routes are matched on the path without the query. Everything is thread-safe; the destructor stops
// the server and wakes any stalled or endless reply.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <httplib.h>

namespace morvalin::test {

struct RecordedRequest {
  std::string method;   // "GET", "POST", ...
  std::string target;   // path and query as sent
  std::string path;     // path without the query
  std::string version;  // "HTTP/1.1"
  std::vector<std::pair<std::string, std::string>> headers;  // names as sent, sorted by name
  std::string body;
  int local_port = 0;   // the port the request arrived on

  // The value of the first header of that name (letter case ignored), or "" when absent.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

class FixtureServer {
 public:
  FixtureServer();
  ~FixtureServer();
  FixtureServer(const FixtureServer&) = delete;
  FixtureServer& operator=(const FixtureServer&) = delete;

  int Port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `path`.
  std::string Url(const std::string& path = "/") const;
  // "127.0.0.1:<port>", for a site table's host names.
  std::string HostPort() const;

  // A fixed reply. Extra headers may repeat a name (for example several Set-Cookie lines).
  void ServeBody(const std::string& path, std::string body, std::string content_type = "text/html",
                 int status = 200, std::vector<std::pair<std::string, std::string>> headers = {});
  // A file from disk, read as it is sent, with Range requests answered by 206.
  void ServeFile(const std::string& path, const std::string& file_path,
                 std::string content_type = "application/octet-stream");
  // Bytes held in memory, with Range requests answered by 206. Each connection is limited to
  // `bytes_per_second` when it is not 0, so a download takes long enough to be paused or cut.
  void ServeData(const std::string& path, std::string data, std::uint64_t bytes_per_second = 0);
  void ServeRedirect(const std::string& path, const std::string& location, int status = 302);
  // Accepts the request and sends nothing until the server stops.
  void ServeStall(const std::string& path);
  // Sends a 200 reply with a body that never ends (until the client goes or the server stops).
  void ServeEndless(const std::string& path);
  // Promises `total_size` bytes in Content-Length, sends `data` (shorter), then closes the connection.
  void ServeCloseEarly(const std::string& path, std::string data, std::uint64_t total_size);

  std::vector<RecordedRequest> Requests() const;
  // The paths of the requests received so far, in arrival order.
  std::vector<std::string> RequestedPaths() const;
  void ClearRequests();

 private:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;
  void Route(const std::string& path, Handler handler);
  void Dispatch(const httplib::Request& req, httplib::Response& res);
  bool WaitWhileRunning(int milliseconds);  // false once the server is stopping

  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable stop_cv_;
  std::map<std::string, Handler> routes_;
  std::vector<RecordedRequest> requests_;
};

}  // namespace morvalin::test
