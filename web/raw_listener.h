#pragma once
// A bare TCP listener on 127.0.0.1 for the HTTP client's tests: it keeps the exact bytes of every
// request (header block and body, in the order they were sent) and answers each with a canned reply,
// then closes the connection.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace morvalin::test {

class RawListener {
 public:
  // `reply` is written as it is after each request.
  explicit RawListener(std::string reply);
  ~RawListener();
  RawListener(const RawListener&) = delete;
  RawListener& operator=(const RawListener&) = delete;

  int Port() const { return port_; }
  std::string Url(const std::string& path) const;
  // Every request received so far, raw: the header block through its empty line, then the body.
  std::vector<std::string> Requests() const;

 private:
  void AcceptLoop();
  void Serve(int connection);

  std::string reply_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
};

}  // namespace morvalin::test
