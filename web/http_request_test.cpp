// The HTTP client against a real server on 127.0.0.1: addressing, redirects, replies of every size,
// cookies, and the limits that end a bad transfer.
#include "web/http_request.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "testsupport/fixture_server.h"

namespace morvalin {
namespace {

using test::FixtureServer;
using test::RecordedRequest;

class HttpRequestTest : public testing::Test {
 protected:
  void TearDown() override { SetHttpLimitsForTesting(HttpLimits{}); }

  // The one request the server received, or an empty record (and a failure) when it got another count.
  RecordedRequest OnlyRequest() {
    std::vector<RecordedRequest> requests = server_.Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? RecordedRequest{} : requests.back();
  }

  FixtureServer server_;
};

TEST_F(HttpRequestTest, UrlFormsReachTheRightPortAndTarget) {
  server_.ServeBody("/", "root");
  server_.ServeBody("/Play/A.html", "page");
  const std::string port = std::to_string(server_.Port());
  struct Case {
    std::string url;
    std::string target;
    std::string body;
  };
  const std::vector<Case> cases = {
      {"http://127.0.0.1:" + port + "/Play/A.html?ID=7", "/Play/A.html?ID=7", "page"},
      {"HTTP://127.0.0.1:" + port + "/Play/A.html", "/Play/A.html", "page"},
      {"127.0.0.1:" + port + "/Play/A.html?x=http", "/Play/A.html?x=http", "page"},
      {"http://127.0.0.1:" + port, "/", "root"},
      {"127.0.0.1:" + port, "/", "root"},
  };
  for (const Case& c : cases) {
    server_.ClearRequests();
    EXPECT_EQ(HttpRequest(c.url), c.body) << c.url;
    RecordedRequest request = OnlyRequest();
    EXPECT_EQ(request.method, "GET") << c.url;
    EXPECT_EQ(request.target, c.target) << c.url;
    EXPECT_EQ(request.local_port, server_.Port()) << c.url;
    EXPECT_EQ(request.Header("Host"), "127.0.0.1:" + port) << c.url;
  }
}

TEST_F(HttpRequestTest, RedirectsAreFollowedUnlessTurnedOff) {
  server_.ServeRedirect("/start", "/middle", 301);
  server_.ServeRedirect("/middle", "final?n=1", 302);  // relative to /middle
  server_.ServeBody("/final", "arrived");

  std::string response_headers;
  EXPECT_EQ(HttpRequest(server_.Url("/start"), 0, {}, nullptr, nullptr, nullptr, &response_headers),
            "arrived");
  EXPECT_EQ(server_.RequestedPaths(), (std::vector<std::string>{"/start", "/middle", "/final"}));
  EXPECT_EQ(server_.Requests().back().target, "/final?n=1");
  EXPECT_EQ(response_headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);

  server_.ClearRequests();
  EXPECT_EQ(HttpRequest(server_.Url("/start"), 0, {}, nullptr, nullptr, nullptr, &response_headers, true),
            "redirect");
  EXPECT_EQ(server_.RequestedPaths(), (std::vector<std::string>{"/start"}));
  EXPECT_EQ(response_headers.rfind("HTTP/1.1 301 Moved Permanently\r\n", 0), 0u);
  EXPECT_NE(response_headers.find("Location: /middle\r\n"), std::string::npos);
}

TEST_F(HttpRequestTest, RedirectOfAPost) {
  server_.ServeRedirect("/post-302", "/target", 302);
  server_.ServeRedirect("/post-307", "/target", 307);
  server_.ServeBody("/target", "done");
  struct Case {
    const char* path;
    const char* final_method;
    const char* final_body;
  };
  for (const Case& c : {Case{"/post-302", "GET", ""}, Case{"/post-307", "POST", "k=v"}}) {
    server_.ClearRequests();
    EXPECT_EQ(HttpRequest(server_.Url(c.path), 1, "k=v"), "done") << c.path;
    std::vector<RecordedRequest> requests = server_.Requests();
    ASSERT_EQ(requests.size(), 2u) << c.path;
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].body, "k=v");
    EXPECT_EQ(requests[1].method, c.final_method) << c.path;
    EXPECT_EQ(requests[1].body, c.final_body) << c.path;
  }
}

TEST_F(HttpRequestTest, RedirectLoopEndsWithTheLastReply) {
  server_.ServeRedirect("/loop", "/loop");
  EXPECT_EQ(HttpRequest(server_.Url("/loop")), "redirect");
  EXPECT_GT(server_.Requests().size(), 2u);
}

TEST_F(HttpRequestTest, BodiesComeBackWholeWhateverTheirSizeOrStatus) {
  std::string binary;
  for (int i = 0; i < 8 * 1024 * 1024; ++i) binary += static_cast<char>((i * 131) >> 3);
  struct Case {
    const char* name;
    std::string body;
    int status;
  };
  const std::vector<Case> cases = {
      {"exactly one read buffer", std::string(1024, 'k'), 200},
      {"one byte more", std::string(1025, 'k'), 200},
      {"empty", "", 200},
      {"binary, 8 MiB", binary, 200},
      {"error page", "<h1>gone</h1>", 404},
      {"server error", "oops", 500},
  };
  for (const Case& c : cases) {
    server_.ServeBody("/b", c.body, "application/octet-stream", c.status);
    std::string response_headers;
    std::string body = HttpRequest(server_.Url("/b"), 0, {}, nullptr, nullptr, nullptr, &response_headers);
    EXPECT_EQ(body.size(), c.body.size()) << c.name;
    EXPECT_TRUE(body == c.body) << c.name;
    EXPECT_EQ(response_headers.rfind("HTTP/1.1 " + std::to_string(c.status), 0), 0u) << c.name;
  }
}

TEST_F(HttpRequestTest, CookiesTheReplySetsAreReturnedAndMerged) {
  server_.ServeBody("/login", "ok", "text/html", 200,
                    {{"set-cookie", "a=1; Path=/"}, {"Set-Cookie", "b=2"}, {"SET-COOKIE", "gone=deleted"}});
  server_.ServeBody("/plain", "ok");

  std::string returned;
  std::string response_headers;
  EXPECT_EQ(HttpRequest(server_.Url("/login"), 0, {}, nullptr, &returned, nullptr, &response_headers), "ok");
  EXPECT_EQ(returned, "a=1; b=2; gone=deleted");
  EXPECT_NE(response_headers.find("Set-Cookie: a=1; Path=/\r\n"), std::string::npos);
  EXPECT_EQ(response_headers.find("set-cookie"), std::string::npos);
  EXPECT_EQ(response_headers.find("SET-COOKIE"), std::string::npos);

  // Supplied cookies are sent, then merged with what the reply set.
  std::string cookies = "b=0; c=3; gone=1";
  EXPECT_EQ(HttpRequest(server_.Url("/login"), 0, {}, &cookies, &returned), "ok");
  EXPECT_EQ(server_.Requests().back().Header("Cookie"), "b=0; c=3; gone=1");
  EXPECT_EQ(cookies, "a=1; b=2; c=3");
  EXPECT_EQ(returned, "a=1;b=2;gone=deleted");

  // A reply without cookies leaves an empty text; the caller's cookies only lose their blanks.
  cookies = "x = 1; y=2";
  EXPECT_EQ(HttpRequest(server_.Url("/plain"), 0, {}, &cookies, &returned), "ok");
  EXPECT_EQ(returned, "");
  EXPECT_EQ(cookies, "x=1; y=2");

  // Without supplied cookies nothing is kept between requests.
  EXPECT_EQ(HttpRequest(server_.Url("/plain")), "ok");
  EXPECT_FALSE(server_.Requests().back().HasHeader("Cookie"));
}

// A port on 127.0.0.1 that nothing listens on: bound, then closed again.
int RefusedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  socklen_t len = sizeof(addr);
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

TEST_F(HttpRequestTest, RequestThatGetsNoReplyGivesEmptyBytes) {
  server_.ServeBody("/x", "plain");
  const std::vector<std::string> urls = {
      "http://127.0.0.1:" + std::to_string(RefusedPort()) + "/x",
      // An https request to a server that speaks plain HTTP fails in the handshake.
      "https://127.0.0.1:" + std::to_string(server_.Port()) + "/x",
  };
  for (const std::string& url : urls) {
    std::string cookies = "a = 1";
    std::string returned = "stale";
    std::string headers;
    std::string response_headers = "stale";
    EXPECT_EQ(HttpRequest(url, 0, {}, &cookies, &returned, &headers, &response_headers), "") << url;
    // The request was made, so the outputs describe an empty reply.
    EXPECT_EQ(response_headers, "") << url;
    EXPECT_EQ(returned, "") << url;
    EXPECT_EQ(cookies, "a=1") << url;
    EXPECT_EQ(headers.rfind("Accept: */*\r\nReferer: " + url, 0), 0u) << url;
  }
}

TEST_F(HttpRequestTest, ConcurrentRequestsKeepTheirOwnReplies) {
  for (int i = 0; i < 4; ++i) server_.ServeBody("/t" + std::to_string(i), std::string(50'000 + i, 'a' + i));
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      for (int n = 0; n < 10; ++n) {
        if (HttpRequest(server_.Url("/t" + std::to_string(i))) != std::string(50'000 + i, 'a' + i)) ++wrong;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong, 0);
}

// A listener whose queue of pending connections is full: a further connection attempt gets no answer
// at all, as from a host that drops packets.
class FullBacklogListener {
 public:
  FullBacklogListener() {
    listen_fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    listen(listen_fd_, 0);
    socklen_t len = sizeof(addr);
    getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    for (int i = 0; i < 3; ++i) {
      int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
      fillers_.push_back(fd);
    }
  }
  ~FullBacklogListener() {
    for (int fd : fillers_) close(fd);
    close(listen_fd_);
  }
  int Port() const { return port_; }

 private:
  int listen_fd_ = -1;
  int port_ = 0;
  std::vector<int> fillers_;
};

TEST_F(HttpRequestTest, UnansweredConnectionIsGivenUp) {
  // Only the connect limit is short: without it the request would wait for the system's own
  // connection time-out, minutes, and run into the test's time-out.
  SetHttpLimitsForTesting({300, 60'000, 64ull * 1024 * 1024});
  FullBacklogListener listener;
  EXPECT_EQ(HttpRequest("http://127.0.0.1:" + std::to_string(listener.Port()) + "/"), "");
}

TEST_F(HttpRequestTest, StalledServerIsGivenUp) {
  SetHttpLimitsForTesting({5'000, 300, 64ull * 1024 * 1024});
  server_.ServeStall("/stall");
  std::string response_headers = "stale";
  EXPECT_EQ(HttpRequest(server_.Url("/stall"), 0, {}, nullptr, nullptr, nullptr, &response_headers), "");
  EXPECT_EQ(response_headers, "");
}

TEST_F(HttpRequestTest, EndlessBodyStopsAtTheCap) {
  const std::uint64_t cap = 1024 * 1024 + 7;
  SetHttpLimitsForTesting({5'000, 5'000, cap});
  server_.ServeEndless("/endless");
  std::string body = HttpRequest(server_.Url("/endless"));
  EXPECT_EQ(body.size(), cap);
  EXPECT_EQ(body.find_first_not_of('x'), std::string::npos);
}

TEST_F(HttpRequestTest, ReplyCutShortGivesWhatArrived) {
  server_.ServeCloseEarly("/short", std::string(3000, 's'), 10'000);
  EXPECT_EQ(HttpRequest(server_.Url("/short")), std::string(3000, 's'));
}

}  // namespace
}  // namespace morvalin
