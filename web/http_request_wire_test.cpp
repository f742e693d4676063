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
                                        "User-Agent: " + kAgent + "\r\n" + DefaultLines(url) +
                                        "\r\n\r\n");
}

}  // namespace
}  // namespace morvalin
