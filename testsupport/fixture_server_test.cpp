#include "testsupport/fixture_server.h"

#include <gtest/gtest.h>

namespace morvalin::test {
namespace {

TEST(FixtureServer, ServesBodiesAndRecordsRequests) {
  FixtureServer server;
  server.ServeBody("/page.html", "hello", "text/html", 200, {{"Set-Cookie", "a=1"}, {"Set-Cookie", "b=2"}});
  httplib::Client client("127.0.0.1", server.Port());
  auto res = client.Get("/page.html?x=1", {{"X-Test", "yes"}});
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->body, "hello");
  EXPECT_EQ(res->get_header_value_count("Set-Cookie"), 2u);

  auto missing = client.Get("/none");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);

  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, "/page.html?x=1");
  EXPECT_EQ(requests[0].path, "/page.html");
  EXPECT_EQ(requests[0].Header("x-test"), "yes");
  EXPECT_EQ(requests[0].local_port, server.Port());
  EXPECT_EQ(server.RequestedPaths(), (std::vector<std::string>{"/page.html", "/none"}));
}

TEST(FixtureServer, AnswersRangeRequests) {
  FixtureServer server;
  server.ServeData("/media.bin", "0123456789");
  httplib::Client client("127.0.0.1", server.Port());
  auto res = client.Get("/media.bin", {{"Range", "bytes=4-"}});
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 206);
  EXPECT_EQ(res->body, "456789");
}

TEST(FixtureServer, RedirectsAndCloseEarly) {
  FixtureServer server;
  server.ServeRedirect("/old", "/new");
  server.ServeBody("/new", "moved");
  server.ServeCloseEarly("/short", "abc", 100);
  httplib::Client client("127.0.0.1", server.Port());
  client.set_follow_location(true);
  auto res = client.Get("/old");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, "moved");
  auto cut = client.Get("/short");
  EXPECT_FALSE(cut && cut->body.size() == 100);
}

TEST(FixtureServer, StallEndsWhenTheServerStops) {
  auto server = std::make_unique<FixtureServer>();
  server->ServeStall("/stall");
  httplib::Client client("127.0.0.1", server->Port());
  client.set_read_timeout(0, 300000);
  auto res = client.Get("/stall");
  EXPECT_FALSE(res);
  server.reset();  // must not hang
}

}  // namespace
}  // namespace morvalin::test
