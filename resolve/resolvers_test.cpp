#include "resolve/resolvers.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/code_page.h"
#include "testsupport/fixture_server.h"
#include "web/http_request.h"
#include "web/text_ops.h"

namespace morvalin {
namespace {

using namespace std::string_literals;

// Pages and items are written here in UTF-8 with "{host}" for the fixture server's host and port.
struct SiteCase {
  const char* label;
  std::vector<std::pair<std::string, std::string>> pages;  // path, body
  bool pages_in_utf8;  // else they are served in code page 936, as most sites do
  std::string line_path;
  std::vector<std::string> items;
  std::vector<std::string> targets;  // the requests the server saw, in order
};

void PrintTo(const SiteCase& c, std::ostream* os) { *os << c.label; }

// The default table with every host pointed at the fixture server.
SiteTable FixtureSites(const test::FixtureServer& server) {
  SiteTable sites = DefaultSiteTable();
  for (Site& site : sites) {
    for (std::string* host : {&site.media_host, &site.web_host, &site.image_host}) {
      if (!host->empty()) *host = server.HostPort();
    }
  }
  return sites;
}

std::vector<std::string> ResolveAll(const std::string& line, const SiteTable& sites) {
  std::vector<std::string> items;
  ResolveLine(line, sites, [&items](const std::string& item) { items.push_back(item); });
  return items;
}

std::vector<std::string> Targets(const test::FixtureServer& server) {
  std::vector<std::string> targets;
  for (const auto& request : server.Requests()) targets.push_back(request.target);
  return targets;
}

class SiteResolverTest : public ::testing::TestWithParam<SiteCase> {
 protected:
  std::string WithHost(const std::string& text) const { return ReplaceAll(text, "{host}", server_.HostPort()); }
  test::FixtureServer server_;
};

TEST_P(SiteResolverTest, ResolvesTheLine) {
  const SiteCase& c = GetParam();
  for (const auto& [path, body] : c.pages) {
    const std::string text = WithHost(body);
    server_.ServeBody(path, c.pages_in_utf8 ? text : Gbk(text));
  }
  std::vector<std::string> expected;
  for (const std::string& item : c.items) expected.push_back(Gbk(WithHost(item)));

  EXPECT_EQ(ResolveAll(server_.Url(c.line_path), FixtureSites(server_)), expected);
  EXPECT_EQ(Targets(server_), c.targets);
}

const std::string kPageA = "/sitea.example/play/1.html";
const std::string kPageB = "/siteb.example/play/1.html";
const std::string kPageC = "/sitec.example/play/1.html";
const std::string kPageD = "/sited.example/play/1.html";
const std::string kPageE = "/sitee.example/play/1.html";
const std::string kPageF = "/sitef.example/play/1.html";
const std::string kPageG = "/siteg.example/play/song_1024.html";
const std::string kPageH = "/siteh.example/play/1.html";

INSTANTIATE_TEST_SUITE_P(
    SiteA, SiteResolverTest,
    ::testing::Values(
        SiteCase{"one track",
                 {{kPageA, R"(<script>var list=[{title:"夜曲",artist:"-",m4a: s_str+"/2024/01/night.m4a"}];</script>)"}},
                 false, kPageA,
                 {"http://{host}/mp3/2024/01/night.mp3|夜曲.mp3|sitea.example"}, {kPageA}},
        SiteCase{"separator in capitals",
                 {{kPageA, R"(var list=[{title:"Night",ARTIST:"-",M4A: S_STR+"/n.m4a"}];)"}}, false, kPageA,
                 {"http://{host}/mp3/n.mp3|Night.mp3|sitea.example"}, {kPageA}},
        // The right marker stands only after the last track: the path runs on into the second one.
        SiteCase{"two tracks",
                 {{kPageA, R"(var list=[{title:"One",artist:"-",m4a: s_str+"/a/one.m4a"},)"
                           R"({title:"Two",artist:"-",m4a: s_str+"/b/two.m4a"}];)"}},
                 false, kPageA,
                 {R"(http://{host}/mp3/a/one.m4a"},{title:"Two.mp3|One.mp3|sitea.example)"}, {kPageA}},
        SiteCase{"without markers", {{kPageA, "<html>gone</html>"}}, false, kPageA, {}, {kPageA}},
        SiteCase{"without separator", {{kPageA, R"(var list=[{title:"Lonely.m4a"}];)"}}, false, kPageA, {},
                 {kPageA}},
        SiteCase{"missing page", {}, false, kPageA, {}, {kPageA}}));

INSTANTIATE_TEST_SUITE_P(
    SiteB, SiteResolverTest,
    ::testing::Values(
        SiteCase{"page recoded from UTF-8",
                 {{kPageB, "{ name: '夜曲', file: '2024/yequ', good: 1 }"}}, true, kPageB,
                 {"http://{host}/djmusic/2024/yequ.mp4|夜曲.mp4|siteb.example"}, {kPageB}},
        SiteCase{"separator in capitals", {{kPageB, "name: 'Mix', FILE: 'm/1', good"}}, true, kPageB,
                 {"http://{host}/djmusic/m/1.mp4|Mix.mp4|siteb.example"}, {kPageB}},
        SiteCase{"without markers", {{kPageB, "name: 'Mix'"}}, true, kPageB, {}, {kPageB}}));

INSTANTIATE_TEST_SUITE_P(
    SiteC, SiteResolverTest,
    ::testing::Values(
        SiteCase{"first marker wins",
                 {{kPageC, R"(player("music/a.mp3");get();player("music/b.mp3");get(); )"
                           R"(x.html', '舞曲 C' ,'y'; z.html', 'Other' ,'w')"}},
                 false, kPageC, {"http://{host}:88/music/a.mp3|舞曲 C.mp3|sitec.example"}, {kPageC}},
        SiteCase{"without markers", {{kPageC, "nothing"}}, false, kPageC,
                 {"http://{host}:88/|.mp3|sitec.example"}, {kPageC}}));

INSTANTIATE_TEST_SUITE_P(
    SiteD, SiteResolverTest,
    ::testing::Values(
        // The URL is taken verbatim; a "|" in the title shifts the item's fields.
        SiteCase{"url verbatim and title with bar",
                 {{kPageD, R"(<div class="tie"><h2>舞曲|混音</h2></div><script>var url = "http://cdn.example/d 1.mp3";</script>)"}},
                 true, kPageD, {"http://cdn.example/d 1.mp3|舞曲|混音.mp3|sited.example"}, {kPageD}},
        SiteCase{"binary page read to its first zero byte",
                 {{kPageD, "var url = \"http://cdn.example/d.mp3\";\0<div class=\"tie\"><h2>T</h2></div>"s}},
                 true, kPageD, {"http://cdn.example/d.mp3|.mp3|sited.example"}, {kPageD}}));

INSTANTIATE_TEST_SUITE_P(
    SiteE, SiteResolverTest,
    ::testing::Values(
        SiteCase{"configuration, page and VW script",
                 {{"/i/c.php", R"(var ik123="dj/"; var ikdj="{host}";)"},
                  {kPageE, R"(<TITLE>t</TITLE><meta name="keywords" content="闪客 Mix" /><meta name="description" )"
                           R"(content="d"><script>var a=1;var furl="2024/01/x.flv";</script>)"},
                  {"/_sys_vw.vhtml", R"(var VW_VSID="abc123";)"}},
                 false, kPageE,
                 {"http://{host}/dj/2024/01/x.ik?vsid=abc123&name={host}|闪客 Mix.flv|sitee.example"},
                 {"/i/c.php", kPageE, "/_sys_vw.vhtml?js=yes"}},
        // Without the stream host the VW script address has no host and cannot be fetched.
        SiteCase{"configuration missing",
                 {{kPageE, R"(var furl="x.flv";)"}}, false, kPageE,
                 {"http:///.ik?vsid=&name={host}|.flv|sitee.example"}, {"/i/c.php", kPageE}}));

INSTANTIATE_TEST_SUITE_P(
    SiteF, SiteResolverTest,
    ::testing::Values(
        SiteCase{"lines ending in CR LF",
                 {{kPageF, "var list=[{title:\"Song F\",artist:\"DJ\"}];\r\nvar righturl=\"2024/f.m4a\";\r\nplay();"}},
                 false, kPageF, {"http://{host}:8181/2024/f.mp3|Song F.mp3|sitef.example"}, {kPageF}},
        SiteCase{"lines ending in LF alone",
                 {{kPageF, "var list=[{title:\"Song F\",artist:\"DJ\"}];\nvar righturl=\"2024/f.m4a\";\nplay();"}},
                 false, kPageF, {"http://{host}:8181/mp3|Song F.mp3|sitef.example"}, {kPageF}}));

INSTANTIATE_TEST_SUITE_P(
    SiteG, SiteResolverTest,
    ::testing::Values(
        SiteCase{"escaped reply",
                 {{"/uc.php", R"({"songname":"\u591c\u66f2 mix","Dj_Url":"\/2024\/g.m4a","n":1})"}}, false, kPageG,
                 {"http://{host}/dj5202014/2024/g.mp3|夜曲 mix.mp3|siteg.example"},
                 {"/uc.php?m=uc&a=playlistadd&songid=1024"}},
        SiteCase{"song id from the first underscore",
                 {{"/uc.php", R"({"songname":"S","Dj_Url":"/s.m4a"})"}}, false, "/siteg.example/a_b/c_12.html",
                 {"http://{host}/dj5202014/s.mp3|S.mp3|siteg.example"},
                 {"/uc.php?m=uc&a=playlistadd&songid=b/c_12"}},
        // A bare line feed breaks the script literal: only the decoded escapes are left.
        SiteCase{"reply breaking the literal",
                 {{"/uc.php", "{\"songname\":\"S\",\n\"Dj_Url\":\"\\/a.m4a\"}"}}, false, kPageG,
                 {"http://{host}/dj5202014mp3|.mp3|siteg.example"}, {"/uc.php?m=uc&a=playlistadd&songid=1024"}}));

INSTANTIATE_TEST_SUITE_P(
    SiteH, SiteResolverTest,
    ::testing::Values(
        SiteCase{"play page then download page",
                 {{kPageH, R"(<li class="down"><a href="javascript:;" onClick="window.open('/down/77.html');">下载</a></li>)"},
                  {"/down/77.html", "var url = \"http://cdn.example/77.mp3\";\nvar djname = \"舞曲 H\";"}},
                 false, kPageH, {"http://cdn.example/77.mp3|舞曲 H.mp3|siteh.example"}, {kPageH, "/down/77.html"}},
        SiteCase{"no download link", {{kPageH, "<html></html>"}}, false, kPageH, {"|.mp3|siteh.example"},
                 {kPageH, "/"}}));

class ResolveLineTest : public ::testing::Test {
 protected:
  std::vector<std::string> Resolve(const std::string& path) { return ResolveAll(server_.Url(path), sites_); }
  test::FixtureServer server_;
  SiteTable sites_ = FixtureSites(server_);
};

TEST_F(ResolveLineTest, EverySiteWhoseKeyOccursRunsInSiteOrder) {
  const std::string page = R"(player("c.mp3");get x.html', 'T' ,'  var url = "http://cdn.example/d.mp3";)";
  server_.ServeBody("/sited.example/sitec.example/1.html", page);
  const std::string host = server_.HostPort();
  EXPECT_EQ(Resolve("/sited.example/sitec.example/1.html"),
            (std::vector<std::string>{"http://" + host + ":88/c.mp3|T.mp3|sitec.example",
                                      "http://cdn.example/d.mp3|.mp3|sited.example"}));
  EXPECT_EQ(server_.Requests().size(), 2u);
}

TEST_F(ResolveLineTest, LinesWithoutAnExactKeyYieldNothing) {
  for (const std::string& line : {""s, "http://www.other.example/play/1.html"s,
                                 server_.Url("/SITEC.EXAMPLE/play/1.html"), server_.Url("/SiteC.example/1.html")}) {
    std::vector<std::string> items;
    ResolveLine(line, sites_, [&items](const std::string& item) { items.push_back(item); });
    EXPECT_TRUE(items.empty()) << line;
  }
  EXPECT_TRUE(server_.Requests().empty());
}

// A server that stalls or never ends its reply costs a time-out or the size cap, not the batch.
TEST_F(ResolveLineTest, StalledAndEndlessPagesStillGiveTheItem) {
  const HttpLimits saved = CurrentHttpLimits();
  HttpLimits limits = saved;
  limits.idle_timeout_ms = 300;
  limits.max_body_bytes = 64 * 1024;
  SetHttpLimitsForTesting(limits);
  server_.ServeStall("/sitec.example/stall.html");
  server_.ServeEndless("/sitec.example/endless.html");
  const std::string empty_item = "http://" + server_.HostPort() + ":88/|.mp3|sitec.example";
  EXPECT_EQ(Resolve("/sitec.example/stall.html"), std::vector<std::string>{empty_item});
  EXPECT_EQ(Resolve("/sitec.example/endless.html"), std::vector<std::string>{empty_item});
  SetHttpLimitsForTesting(saved);
}

}  // namespace
}  // namespace morvalin
