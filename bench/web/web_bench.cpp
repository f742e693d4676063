// The web client against the least the same work costs, in the same run, on 127.0.0.1:
//   pages   - 300 GETs of a 60 KB page through HttpRequest, against a fresh libcurl easy handle per
//             GET writing into a string (what one request needs at the least);
//   large   - one 48 MiB body through HttpRequest, against the same plain libcurl GET;
//   html    - TextBetween cutting a value behind 4 MiB of an HTML page with Chinese titles, against
//             std::string_view::find for both markers (a search that ignores character boundaries);
//   chinese - the same behind 4 MiB of text made of double-byte characters only (the worst case: the
//             search has to know every character boundary before the match).
// Each figure is the best of three rounds.
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/code_page.h"
#include "testsupport/fixture_server.h"
#include "web/http_request.h"
#include "web/text_ops.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Work>
double BestSeconds(Work work) {
  double best = 1e9;
  for (int round = 0; round < 3; ++round) {
    Clock::time_point start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

size_t Append(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

std::string PlainCurlGet(const std::string& url) {
  std::string body;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl, CURLOPT_PROXY, "");
  curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  return body;
}

void Report(const char* name, double ours, double baseline) {
  std::printf("%-8s HttpClient %.4f s  baseline %.4f s  ratio %.2fx\n", name, ours, baseline,
              ours / baseline);
}

}  // namespace

int main() {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  morvalin::test::FixtureServer server;
  const std::string page(60 * 1024, 'p');
  const std::string large(48 * 1024 * 1024, 'L');
  server.ServeBody("/page", page);
  server.ServeData("/large", large);
  const std::string page_url = server.Url("/page");
  const std::string large_url = server.Url("/large");
  bool all_whole = true;

  const int kPages = 300;
  double ours = BestSeconds([&] {
    for (int i = 0; i < kPages; ++i) all_whole &= morvalin::HttpRequest(page_url).size() == page.size();
  });
  double baseline = BestSeconds([&] {
    for (int i = 0; i < kPages; ++i) all_whole &= PlainCurlGet(page_url).size() == page.size();
  });
  Report("pages", ours, baseline);

  ours = BestSeconds([&] { all_whole &= morvalin::HttpRequest(large_url).size() == large.size(); });
  baseline = BestSeconds([&] { all_whole &= PlainCurlGet(large_url).size() == large.size(); });
  Report("large", ours, baseline);

  auto time_search = [&](const char* name, const std::string& filler) {
    std::string text;
    while (text.size() < 4 * 1024 * 1024) text += filler;
    text += "<title>found</title>";
    std::string cut;
    const int kSearches = 20;
    double ours = BestSeconds([&] {
      for (int i = 0; i < kSearches; ++i) cut = morvalin::TextBetween(text, "<title>", "</title>");
    });
    all_whole &= cut == "found";
    double baseline = BestSeconds([&] {
      for (int i = 0; i < kSearches; ++i) {
        std::string_view view(text);
        size_t left = view.find("<title>");
        size_t right = view.find("</title>", left + 7);
        cut = std::string(view.substr(left + 7, right - left - 7));
      }
    });
    all_whole &= cut == "found";
    Report(name, ours, baseline);
  };
  time_search("html", morvalin::Gbk("<li><a href=\"/play/1024.html\" title=\"舞曲\">DJ 舞曲标题</a></li>\n"));
  time_search("chinese", morvalin::Gbk("舞曲标题歌手专辑"));

  if (!all_whole) std::printf("ERROR: a reply or a cut value came back wrong\n");
  curl_global_cleanup();
  return all_whole ? 0 : 1;
}
