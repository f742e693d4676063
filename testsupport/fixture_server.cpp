#include "testsupport/fixture_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <strings.h>

namespace morvalin::test {

std::string RecordedRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  }
  return {};
}

bool RecordedRequest::HasHeader(const std::string& name) const {
  return std::any_of(headers.begin(), headers.end(),
                     [&](const auto& h) { return strcasecmp(h.first.c_str(), name.c_str()) == 0; });
}

FixtureServer::FixtureServer() : server_(std::make_unique<httplib::Server>()) {
  auto handler = [this](const httplib::Request& req, httplib::Response& res) { Dispatch(req, res); };
  server_->Get(".*", handler);
  server_->Post(".*", handler);
  server_->Put(".*", handler);
  server_->Delete(".*", handler);
  server_->Options(".*", handler);
  server_->set_keep_alive_max_count(100);
  port_ = server_->bind_to_any_port("127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
}

FixtureServer::~FixtureServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stop_cv_.notify_all();
  // stop() does nothing to a server whose thread has not begun listening yet, and the thread would
  // then listen for ever: wait (bounded) until it runs.
  for (int i = 0; i < 10'000 && thread_.joinable() && !server_->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

std::string FixtureServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string FixtureServer::HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

void FixtureServer::Route(const std::string& path, Handler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_[path] = std::move(handler);
}

void FixtureServer::Dispatch(const httplib::Request& req, httplib::Response& res) {
  RecordedRequest rec;
  rec.method = req.method;
  rec.target = req.target;
  rec.path = req.path;
  rec.version = req.version;
  rec.body = req.body;
  rec.local_port = req.local_port;
  for (const auto& [key, value] : req.headers) {
    // httplib adds these itself; they were not sent by the client.
    if (key == "REMOTE_ADDR" || key == "REMOTE_PORT" || key == "LOCAL_ADDR" || key == "LOCAL_PORT") continue;
    rec.headers.emplace_back(key, value);
  }
  Handler handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(rec);
    auto it = routes_.find(req.path);
    if (it != routes_.end()) handler = it->second;
  }
  if (handler) {
    handler(req, res);
  } else {
    res.status = 404;
    res.set_content("not found", "text/plain");
  }
}

bool FixtureServer::WaitWhileRunning(int milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  stop_cv_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stopping_.load(); });
  return !stopping_;
}

void FixtureServer::ServeBody(const std::string& path, std::string body, std::string content_type, int status,
                              std::vector<std::pair<std::string, std::string>> headers) {
  Route(path, [body = std::move(body), content_type = std::move(content_type), status,
               headers = std::move(headers)](const httplib::Request&, httplib::Response& res) {
    res.status = status;
    for (const auto& [key, value] : headers) res.headers.emplace(key, value);
    res.set_content(body, content_type.c_str());
  });
}

void FixtureServer::ServeFile(const std::string& path, const std::string& file_path, std::string content_type) {
  Route(path, [file_path, content_type](const httplib::Request&, httplib::Response& res) {
    std::error_code ec;
    auto size = std::filesystem::file_size(file_path, ec);
    if (ec) {
      res.status = 404;
      return;
    }
    res.set_content_provider(
        static_cast<size_t>(size), content_type.c_str(),
        [file_path](size_t offset, size_t length, httplib::DataSink& sink) {
          std::FILE* f = std::fopen(file_path.c_str(), "rb");
          if (!f) return false;
          std::fseek(f, static_cast<long>(offset), SEEK_SET);
          std::vector<char> buffer(std::min<size_t>(length, 256 * 1024));
          size_t left = length;
          bool ok = true;
          while (left > 0 && ok) {
            size_t n = std::fread(buffer.data(), 1, std::min(left, buffer.size()), f);
            if (n == 0) break;
            ok = sink.write(buffer.data(), n);
            left -= n;
          }
          std::fclose(f);
          return ok;
        });
  });
}

void FixtureServer::ServeData(const std::string& path, std::string data, std::uint64_t bytes_per_second) {
  auto shared = std::make_shared<std::string>(std::move(data));
  Route(path, [this, shared, bytes_per_second](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(
        shared->size(), "application/octet-stream",
        [this, shared, bytes_per_second](size_t offset, size_t length, httplib::DataSink& sink) {
          // Throttled replies go out in slices of a tenth of a second each.
          const size_t slice =
              bytes_per_second ? std::max<size_t>(1, bytes_per_second / 10) : std::max<size_t>(length, 1);
          size_t sent = 0;
          while (sent < length) {
            size_t n = std::min(slice, length - sent);
            if (!sink.write(shared->data() + offset + sent, n)) return false;
            sent += n;
            if (bytes_per_second && sent < length && !WaitWhileRunning(100)) return false;
          }
          return true;
        });
  });
}

void FixtureServer::ServeRedirect(const std::string& path, const std::string& location, int status) {
  Route(path, [location, status](const httplib::Request&, httplib::Response& res) {
    res.status = status;
    res.set_header("Location", location);
    res.set_content("redirect", "text/plain");
  });
}

void FixtureServer::ServeStall(const std::string& path) {
  Route(path, [this](const httplib::Request&, httplib::Response&) {
    while (WaitWhileRunning(100)) {
    }
  });
}

void FixtureServer::ServeEndless(const std::string& path) {
  Route(path, [this](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("application/octet-stream", [this](size_t, httplib::DataSink& sink) {
      static const std::string chunk(64 * 1024, 'x');
      return !stopping_ && sink.write(chunk.data(), chunk.size());
    });
  });
}

void FixtureServer::ServeCloseEarly(const std::string& path, std::string data, std::uint64_t total_size) {
  auto shared = std::make_shared<std::string>(std::move(data));
  Route(path, [shared, total_size](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(static_cast<size_t>(total_size), "application/octet-stream",
                             [shared](size_t offset, size_t length, httplib::DataSink& sink) {
                               if (offset < shared->size()) {
                                 size_t n = std::min(length, shared->size() - offset);
                                 sink.write(shared->data() + offset, n);
                               }
                               return false;  // ends the connection before the promised size
                             });
  });
}

std::vector<RecordedRequest> FixtureServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<std::string> FixtureServer::RequestedPaths() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> paths;
  for (const auto& r : requests_) paths.push_back(r.path);
  return paths;
}

void FixtureServer::ClearRequests() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
}

}  // namespace morvalin::test
