#include "web/raw_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace morvalin::test {
namespace {

constexpr size_t kMaxRequestBytes = 16 * 1024 * 1024;

// Waits up to `ms` for `fd` to become readable.
bool Readable(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, ms) > 0;
}

// The Content-Length of a header block, 0 when it has none.
size_t ContentLength(const std::string& head) {
  size_t at = 0;
  while ((at = head.find("\r\n", at)) != std::string::npos) {
    at += 2;
    if (strncasecmp(head.c_str() + at, "Content-Length:", 15) == 0) {
      return static_cast<size_t>(std::strtoull(head.c_str() + at + 15, nullptr, 10));
    }
  }
  return 0;
}

}  // namespace

RawListener::RawListener(std::string reply) : reply_(std::move(reply)) {
  listen_fd_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  listen(listen_fd_, 16);
  socklen_t len = sizeof(addr);
  getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { AcceptLoop(); });
}

RawListener::~RawListener() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  close(listen_fd_);
}

std::string RawListener::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> RawListener::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void RawListener::AcceptLoop() {
  while (!stopping_) {
    if (!Readable(listen_fd_, 50)) continue;
    int connection = accept(listen_fd_, nullptr, nullptr);
    if (connection < 0) continue;
    Serve(connection);
    close(connection);
  }
}

void RawListener::Serve(int connection) {
  std::string request;
  size_t wanted = std::string::npos;  // total size once the header block is complete
  char buffer[16384];
  while (!stopping_ && request.size() < kMaxRequestBytes &&
         (wanted == std::string::npos || request.size() < wanted)) {
    if (!Readable(connection, 50)) continue;
    ssize_t n = recv(connection, buffer, sizeof(buffer), 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
    size_t head_end = request.find("\r\n\r\n");
    if (wanted == std::string::npos && head_end != std::string::npos) {
      wanted = head_end + 4 + ContentLength(request.substr(0, head_end + 2));
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
  }
  for (size_t sent = 0; sent < reply_.size();) {
    ssize_t n = send(connection, reply_.data() + sent, reply_.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
}

}  // namespace morvalin::test
