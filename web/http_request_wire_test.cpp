// What the HTTP client puts on the wire, byte for byte, captured by a bare listener.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/http_request.h"
#include "web/raw_listener.h"

namespace morvalin {
namespace {

using test::RawListener;

const char kAgent[] = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
const char kOkReply[] = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";

std::string HostLine(const RawListener& listener) {
  return "Host: 127.0.0.1:" + std::to_string(listener.Port()) + "\r\n";
}

std::string DefaultLines(const std::string& url) {
  return "Accept: */*\r\nReferer: " + url +
         "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";
}

TEST(HttpRequestWireTest, GetCarriesExactlyTheDefaultLines) {
  RawListener listener(kOkReply);
  const std::string url = listener.Url("/play/1.html?id=7");
  std::string headers;
  EXPECT_EQ(HttpRequest(url, 0, {}, nullptr, nullptr, &headers), "ok");

  EXPECT_EQ(headers, DefaultLines(url));
  ASSERT_EQ(listener.Requests().size(), 1u);
  EXPECT_EQ(listener.Requests()[0], "GET /play/1.html?id=7 HTTP/1.1\r\n" + HostLine(listener) +
                                        "User-Agent: " + kAgent + "\r\n" + DefaultLines(url) + "\r\n\r\n");
}

// The header lines after Host of the one request `listener` received, up to the empty line.
std::string LinesAfterHost(const RawListener& listener) {
  const std::vector<std::string> requests = listener.Requests();
  if (requests.size() != 1) return "<" + std::to_string(requests.size()) + " requests>";
  const std::string& raw = requests[0];
  size_t begin = raw.find(HostLine(listener));
  size_t end = raw.find("\r\n\r\n");
  if (begin == std::string::npos || end == std::string::npos) return "<no header block>";
  begin += HostLine(listener).size();
  return raw.substr(begin, end + 2 - begin);
}

TEST(HttpRequestWireTest, CallerHeadersAndCookiesTable) {
  struct Case {
    const char* name;
    std::string headers;
    const char* cookies;           // nullptr: not supplied
    std::string expected_headers;  // the completed text, with the URL written as {url}
    std::string expected_lines;    // the header lines after Host, with {url}
  };
  const std::string agent_line = std::string("User-Agent: ") + kAgent + "\r\n";
  const std::string defaults = DefaultLines("{url}");
  const std::vector<Case> cases = {
      {"an extra line first", "X-Token: 1", nullptr, "X-Token: 1\r\n" + defaults,
       agent_line + "X-Token: 1\r\n" + defaults + "\r\n"},
      {"own Referer kept, no second one", "Referer: http://from.example/", nullptr,
       "Referer: http://from.example/\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded",
       agent_line + "Referer: http://from.example/\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
                    "Content-Type: application/x-www-form-urlencoded\r\n"},
      {"lower-case user-agent replaces the default", "user-agent: Agent/2.0", nullptr,
       "user-agent: Agent/2.0\r\n" + defaults, "user-agent: Agent/2.0\r\n" + defaults + "\r\n"},
      {"own Accept and User-Agent", "User-Agent: Agent/3\r\nAccept: text/html", nullptr,
       "User-Agent: Agent/3\r\nAccept: text/html\r\nReferer: {url}\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded",
       "User-Agent: Agent/3\r\nAccept: text/html\r\nReferer: {url}\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded\r\n"},
      {"User-Agent named inside another line", "X-Note: User-Agent: Agent/4\r\n", nullptr,
       "X-Note: User-Agent: Agent/4\r\n\r\nAccept: */*\r\nReferer: {url}\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded",
       "User-Agent: Agent/4\r\nX-Note: User-Agent: Agent/4\r\nAccept: */*\r\nReferer: {url}\r\n"
       "Accept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded\r\n"},
      {"an empty value is still sent", "X-Empty:", nullptr, "X-Empty:\r\n" + defaults,
       agent_line + "X-Empty:\r\n" + defaults + "\r\n"},
      {"supplied cookies go last", "", "a=1; b=2", defaults + "\r\nCookie: a=1; b=2",
       agent_line + defaults + "\r\nCookie: a=1; b=2\r\n"},
      {"supplied empty cookies add no line", "", "", defaults, agent_line + defaults + "\r\n"},
  };
  for (const Case& c : cases) {
    RawListener listener(kOkReply);
    const std::string url = listener.Url("/p");
    auto with_url = [&url](std::string text) {
      for (size_t at; (at = text.find("{url}")) != std::string::npos;) text.replace(at, 5, url);
      return text;
    };
    std::string headers = c.headers;
    std::string cookies = c.cookies != nullptr ? c.cookies : "";
    EXPECT_EQ(HttpRequest(url, 0, {}, c.cookies != nullptr ? &cookies : nullptr, nullptr, &headers), "ok")
        << c.name;
    EXPECT_EQ(headers, with_url(c.expected_headers)) << c.name;
    EXPECT_EQ(LinesAfterHost(listener), with_url(c.expected_lines)) << c.name;
  }
}

TEST(HttpRequestWireTest, PostSendsTheBodyWithItsLength) {
  RawListener listener(kOkReply);
  const std::string url = listener.Url("/form");
  std::string post_bytes;
  EXPECT_EQ(HttpRequest(url, 1, "a=1&b=2", nullptr, nullptr, nullptr, nullptr, false, &post_bytes), "ok");
  EXPECT_EQ(post_bytes, "a=1&b=2");
  ASSERT_EQ(listener.Requests().size(), 1u);
  EXPECT_EQ(listener.Requests()[0], "POST /form HTTP/1.1\r\n" + HostLine(listener) + "User-Agent: " + kAgent +
                                        "\r\n" + DefaultLines(url) + "\r\nContent-Length: 7\r\n\r\na=1&b=2");
}

TEST(HttpRequestWireTest, BodyBytesWinOverTextAndLargeBodiesGoWithoutExpect) {
  std::string binary("\0\x01\xFF\r\n", 5);
  std::string large(3 * 1024 * 1024 + 1, 'z');
  for (const std::string& bytes : {binary, large}) {
    RawListener listener(kOkReply);
    std::string post_bytes = bytes;
    EXPECT_EQ(HttpRequest(listener.Url("/up"), 1, "ignored", nullptr, nullptr, nullptr, nullptr, false,
                          &post_bytes),
              "ok");
    EXPECT_EQ(post_bytes, bytes);
    ASSERT_EQ(listener.Requests().size(), 1u);
    const std::string raw = listener.Requests()[0];
    const std::string head = raw.substr(0, raw.find("\r\n\r\n") + 4);
    EXPECT_NE(head.find("Content-Length: " + std::to_string(bytes.size()) + "\r\n"), std::string::npos);
    EXPECT_EQ(head.find("Expect"), std::string::npos);
    EXPECT_TRUE(raw.substr(head.size()) == bytes) << "body of " << bytes.size() << " bytes differs";
  }
}

TEST(HttpRequestWireTest, HeadSendsABodyWhenGivenAndReadsNone) {
  // The reply promises a body it never sends: a HEAD must not wait for it.
  const char reply[] = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n";
  struct Case {
    const char* post_text;
    std::string expected_tail;  // the request after the default lines
  };
  for (const Case& c : {Case{"q=1", "\r\nContent-Length: 3\r\n\r\nq=1"}, Case{"", "\r\n\r\n"}}) {
    RawListener listener(reply);
    const std::string url = listener.Url("/h");
    std::string response_headers;
    EXPECT_EQ(HttpRequest(url, 2, c.post_text, nullptr, nullptr, nullptr, &response_headers), "");
    EXPECT_EQ(response_headers, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
    ASSERT_EQ(listener.Requests().size(), 1u);
    EXPECT_EQ(listener.Requests()[0], "HEAD /h HTTP/1.1\r\n" + HostLine(listener) + "User-Agent: " + kAgent +
                                          "\r\n" + DefaultLines(url) + c.expected_tail);
  }
}

TEST(HttpRequestWireTest, MethodOutsideTheRangeIsGet) {
  for (int method : {-1, 3, 7}) {
    RawListener listener(kOkReply);
    EXPECT_EQ(HttpRequest(listener.Url("/m"), method, "body"), "ok");
    ASSERT_EQ(listener.Requests().size(), 1u);
    EXPECT_EQ(listener.Requests()[0].rfind("GET /m HTTP/1.1\r\n", 0), 0u) << method;
    EXPECT_EQ(listener.Requests()[0].find("body"), std::string::npos) << method;
  }
}

TEST(HttpRequestWireTest, ProxyGetsTheAbsoluteUrl) {
  struct Case {
    const char* url;
    const char* request_line;
    const char* host_line;
  };
  const std::vector<Case> cases = {
      {"http://Music.Example:8080/p?x=1", "GET http://music.example:8080/p?x=1 HTTP/1.1\r\n",
       "Host: music.example:8080\r\n"},
      {"music.example/Play/2.html", "GET http://music.example/Play/2.html HTTP/1.1\r\n",
       "Host: music.example\r\n"},
  };
  for (const Case& c : cases) {
    RawListener proxy(kOkReply);
    EXPECT_EQ(HttpRequest(c.url, 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr,
                          "127.0.0.1:" + std::to_string(proxy.Port())),
              "ok")
        << c.url;
    ASSERT_EQ(proxy.Requests().size(), 1u) << c.url;
    const std::string raw = proxy.Requests()[0];
    EXPECT_EQ(raw.rfind(std::string(c.request_line) + c.host_line, 0), 0u) << raw;
    EXPECT_EQ(raw.find("Proxy-"), std::string::npos) << raw;
  }
  // An https request asks the same proxy for a tunnel (which this listener does not give).
  RawListener proxy(kOkReply);
  EXPECT_EQ(HttpRequest("HTTPS://Music.Example/s", 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr,
                        "127.0.0.1:" + std::to_string(proxy.Port())),
            "");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0].rfind("CONNECT music.example:443 HTTP/1.1\r\n", 0), 0u)
      << proxy.Requests()[0];
}

TEST(HttpRequestWireTest, TargetBytesThatWouldBreakTheRequestLineAreEncoded) {
  RawListener listener(kOkReply);
  EXPECT_EQ(HttpRequest(listener.Url("/a b/\x01\xD6\xD0.mp3?q=#f")), "ok");
  ASSERT_EQ(listener.Requests().size(), 1u);
  EXPECT_EQ(listener.Requests()[0].rfind("GET /a%20b/%01\xD6\xD0.mp3?q=#f HTTP/1.1\r\n", 0), 0u);
}

TEST(HttpRequestWireTest, ResponseHeaderBlockTable) {
  struct Case {
    const char* name;
    std::string reply_head;  // without the final empty line
    std::string expected_block;
    std::string expected_cookies;
  };
  // The reply adds "Content-Length: 4" as its last line; the padding line makes the whole block,
  // through its empty last line, exactly `size` bytes long.
  auto padded_head = [](size_t size) {
    const std::string fixed = "HTTP/1.1 200 OK\r\nX-Pad: \r\nSet-Cookie: k=1\r\nContent-Length: 4\r\n\r\n";
    return "HTTP/1.1 200 OK\r\nX-Pad: " + std::string(size - fixed.size(), 'p') + "\r\nSet-Cookie: k=1";
  };
  const std::vector<Case> cases = {
      {"line ends become CR LF", "HTTP/1.1 200 OK\nX-A: 1\nset-cookie: s=9",
       "HTTP/1.1 200 OK\r\nX-A: 1\r\nSet-Cookie: s=9\r\n\r\n", "s=9"},
      {"mixed case set-cookie lines",
       "HTTP/1.1 200 OK\r\nset-cookie: a=1; Path=/\r\nSET-COOKIE: b=2\r\nX-Set-Cookie-Note: n",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; Path=/\r\nSet-Cookie: b=2\r\nX-Set-Cookie-Note: n\r\n\r\n",
       "a=1; b=2; X-Set-Cookie-Note: n"},
      {"no cookies", "HTTP/1.1 404 Not Found\r\nX-A: 1", "HTTP/1.1 404 Not Found\r\nX-A: 1\r\n\r\n", ""},
      {"a block of 4999 bytes fits", padded_head(4999), padded_head(4999) + "\r\n\r\n", "k=1"},
      {"a block of 5000 bytes does not", padded_head(5000), "", ""},
  };
  for (const Case& c : cases) {
    RawListener listener(c.reply_head + "\r\nContent-Length: 4\r\n\r\nbody");
    std::string response_headers = "stale";
    std::string returned_cookies = "stale";
    EXPECT_EQ(HttpRequest(listener.Url("/"), 0, {}, nullptr, &returned_cookies, nullptr, &response_headers),
              "body")
        << c.name;
    std::string expected_block = c.expected_block;
    if (!expected_block.empty()) {
      expected_block.insert(expected_block.size() - 2, "Content-Length: 4\r\n");
    }
    EXPECT_EQ(response_headers.size(), expected_block.size()) << c.name;
    if (response_headers.size() != expected_block.size()) continue;
    EXPECT_EQ(response_headers, expected_block) << c.name;
    EXPECT_EQ(returned_cookies, c.expected_cookies) << c.name;
  }
}

TEST(HttpRequestWireTest, UnaddressableUrlSendsNothingAndLeavesOutputsAlone) {
  RawListener listener(kOkReply);
  const std::string port = std::to_string(listener.Port());
  const std::vector<std::string> urls = {"http://",
                                         "http:///x",
                                         "http://bad host.example:" + port + "/",
                                         "http://127.0.0.1:" + port + "/a\r\nX-Injected: 1",
                                         "http://127.0.0.1:70000/",
                                         std::string("http://127.0.0.1:") + port + std::string("/\0x", 3)};
  for (const std::string& url : urls) {
    std::string cookies = "a=1;  b=2";
    std::string returned = "r";
    std::string headers = "X: y";
    std::string response_headers = "h";
    std::string post_bytes;
    EXPECT_EQ(
        HttpRequest(url, 1, "text", &cookies, &returned, &headers, &response_headers, false, &post_bytes), "")
        << url;
    EXPECT_EQ(cookies, "a=1;  b=2") << url;
    EXPECT_EQ(returned, "r") << url;
    EXPECT_EQ(headers, "X: y") << url;
    EXPECT_EQ(response_headers, "h") << url;
    EXPECT_EQ(post_bytes, "") << url;
  }
  EXPECT_TRUE(listener.Requests().empty());
}

}  // namespace
}  // namespace morvalin
