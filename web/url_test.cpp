#include "web/url.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morvalin {
namespace {

struct UrlCase {
  const char* url;
  const char* host;
  const char* host_with_port;
  int port;
  const char* path;
};

// What a connection to each URL uses: host, port and request target.
TEST(UrlTest, HostPortAndPathTable) {
  const std::vector<UrlCase> cases = {
      {"https://www.example.com/x?y=1", "www.example.com", "www.example.com", 443, "/x?y=1"},
      {"http://host.example:8080/p", "host.example", "host.example:8080", 8080, "/p"},
      {"HTTPS://WWW.Example.COM/A/B.html", "www.example.com", "www.example.com", 443, "/A/B.html"},
      {"HTTP://Host.Example:81/Q?X=Y#F", "host.example", "host.example:81", 81, "/Q?X=Y#F"},
      {"www.example.com/play/1.html", "www.example.com", "www.example.com", 80, "/play/1.html"},
      {"WWW.Example.com:8000", "www.example.com", "www.example.com:8000", 8000, "/"},
      {"http://www.example.com", "www.example.com", "www.example.com", 80, "/"},
      {"https://www.example.com", "www.example.com", "www.example.com", 443, "/"},
      {"https://h.example:x/", "h.example", "h.example:x", 0, "/"},
      {"http://127.0.0.1:5000/a/b/", "127.0.0.1", "127.0.0.1:5000", 5000, "/a/b/"},
      // A host that also occurs inside the scheme text.
      {"http://t/x", "t", "t", 80, "/x"},
      {"https://p:8443/index", "p", "p:8443", 8443, "/index"},
      // Lower case "https" at the front decides the port even without "://".
      {"httpsite.example/a", "httpsite.example", "httpsite.example", 443, "/a"},
      {"", "", "", 80, "/"},
  };
  for (const UrlCase& c : cases) {
    EXPECT_EQ(UrlHost(c.url), c.host) << c.url;
    EXPECT_EQ(UrlHost(c.url, true), c.host_with_port) << c.url;
    EXPECT_EQ(UrlPort(c.url), c.port) << c.url;
    EXPECT_EQ(UrlPath(c.url), c.path) << c.url;
  }
}

TEST(UrlTest, SchemeLessUrlWithoutHttpAnywhere) {
  EXPECT_EQ(UrlHost("Music.Example:99"), "music.example");
  EXPECT_EQ(UrlHost("Music.Example/a/B"), "music.example");
  // "http://" further on in a scheme-less URL is taken as the scheme.
  EXPECT_EQ(UrlHost("a.example/?u=http://b.example/x"), "b.example");
}

TEST(UrlTest, ResolveLocationTable) {
  struct Case {
    const char* base;
    const char* location;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"http://a.example/x/y.html", "https://b.example/z", "https://b.example/z"},
      {"http://a.example/x/y.html", " HTTP://B.example/Z ", "HTTP://B.example/Z"},
      {"https://a.example/x", "//cdn.example/f.mp3", "https://cdn.example/f.mp3"},
      {"http://A.example:8080/x/y?q=1", "/root?r=2", "http://a.example:8080/root?r=2"},
      {"http://a.example/x/y.html?q=1", "z.html", "http://a.example/x/z.html"},
      {"http://a.example/x/y.html?q=/1", "z.html", "http://a.example/x/z.html"},
      {"http://a.example/x/y.html?q=1", "?q=2", "http://a.example/x/y.html?q=2"},
      {"http://a.example", "next", "http://a.example/next"},
      {"a.example/dir/", "f", "http://a.example/dir/f"},
      {"http://a.example/x", "ftp://files.example/f", ""},
      {"http://a.example/x", "mailto:someone@a.example", ""},
      {"http://a.example/x/y", "", "http://a.example/x/y"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ResolveLocation(c.base, c.location), c.expected) << c.base << " + " << c.location;
  }
}

TEST(UrlTest, ValueAfterColonTable) {
  EXPECT_EQ(ValueAfterColon("user-agent:  Agent/1.0 "), "Agent/1.0");
  EXPECT_EQ(ValueAfterColon("a: b: c"), "b: c");
  EXPECT_EQ(ValueAfterColon("no colon"), "");
  EXPECT_EQ(ValueAfterColon("ends:"), "");
  EXPECT_EQ(ValueAfterColon(""), "");
}

}  // namespace
}  // namespace morvalin
