#include "web/http_request.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "web/cookies.h"
#include "web/http_headers.h"
#include "web/http_transfer.h"
#include "web/text_ops.h"
#include "web/url.h"

namespace morvalin {
namespace {

enum class Verb { kGet, kPost, kHead };

// More hops than any site needs; a loop of redirects ends here with the last reply.
constexpr int kMaxRedirects = 20;

std::mutex g_limits_mutex;
HttpLimits g_limits;

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Header lines as libcurl takes them. A line whose value is empty is written "Name;", which libcurl
// sends as "Name:" (a bare "Name:" would make it drop the header). Removal entries take away what
// libcurl would otherwise add on its own: "Expect: 100-continue" for large bodies and a
// "Proxy-Connection" line towards a proxy. (Its own "Accept" and "Content-Type" are never added,
// because the completed header text always holds both.)
std::unique_ptr<curl_slist, SlistDeleter> CurlHeaderList(const std::string& header_text,
                                                         bool* has_user_agent_line) {
  *has_user_agent_line = false;
  curl_slist* list = nullptr;
  auto append = [&list](const std::string& line) {
    curl_slist* grown = curl_slist_append(list, line.c_str());
    if (grown != nullptr) list = grown;
  };
  for (std::string line : RequestHeaderLines(header_text)) {
    // libcurl stops at a NUL byte; a header line cannot carry one anyway.
    line = line.substr(0, line.find('\0'));
    int colon = Find(line, ":");
    if (colon > 1 && Trim(std::string_view(line).substr(static_cast<size_t>(colon))).empty()) {
      line = line.substr(0, static_cast<size_t>(colon) - 1) + ";";
    }
    if (Find(line, "User-Agent:", 1, true) == 1 || Find(line, "User-Agent;", 1, true) == 1) {
      *has_user_agent_line = true;
    }
    append(line);
  }
  append("Expect:");
  append("Proxy-Connection:");
  return std::unique_ptr<curl_slist, SlistDeleter>(list);
}

struct Request {
  const std::string& url;
  Verb verb;
  // Sent when the header text holds no User-Agent line of its own.
  const std::string& user_agent;
  const std::string& header_text;
  const std::string* body;  // nullptr for GET
  bool no_redirect;
  const std::string& proxy;
};

// Runs the request to `endpoint` and its redirects on one handle. False when no handle could be made.
bool Perform(const Request& request, Endpoint endpoint, const HttpLimits& limits, TransferResult* result) {
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) return false;

  bool has_user_agent_line = false;
  auto header_list = CurlHeaderList(request.header_text, &has_user_agent_line);
  CURL* handle = curl.get();
  curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, header_list.get());
  curl_easy_setopt(handle, CURLOPT_USERAGENT, has_user_agent_line ? nullptr : request.user_agent.c_str());
  // An explicit empty proxy also keeps libcurl from taking one from the environment.
  const std::string proxy_url = request.proxy.empty() ? std::string() : "http://" + request.proxy;
  curl_easy_setopt(handle, CURLOPT_PROXY, proxy_url.c_str());
  ApplyCommonOptions(handle, limits);

  Verb verb = request.verb;
  // A HEAD without a body is libcurl's own; a HEAD with a body is sent like a POST under the HEAD
  // verb, and its transfer ends with the reply's header block.
  const bool head_with_body = verb == Verb::kHead && !request.body->empty();
  if (verb == Verb::kHead && !head_with_body) curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
  if (verb == Verb::kPost || head_with_body) {
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body->size()));
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.body->data());
  }
  if (head_with_body) curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, "HEAD");

  std::string current_url = request.url;
  for (int hop = 0;; ++hop) {
    RunTransfer(handle, endpoint, limits, head_with_body, result);
    const int status = result->status;
    if (request.no_redirect || hop >= kMaxRedirects || !IsRedirect(status) || result->location.empty()) {
      break;
    }
    std::string next_url = ResolveLocation(current_url, result->location);
    Endpoint next;
    if (next_url.empty() || !MakeEndpoint(next_url, request.proxy, &next)) break;
    // As browsers do: 301, 302 and 303 turn a POST into a GET without a body.
    if (verb == Verb::kPost && status != 307 && status != 308) {
      verb = Verb::kGet;
      curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    }
    endpoint = std::move(next);
    current_url = std::move(next_url);
  }
  return true;
}

}  // namespace

void SetHttpLimitsForTesting(const HttpLimits& limits) {
  std::lock_guard<std::mutex> lock(g_limits_mutex);
  g_limits = limits;
}

HttpLimits CurrentHttpLimits() {
  std::lock_guard<std::mutex> lock(g_limits_mutex);
  return g_limits;
}

std::string HttpRequest(const std::string& url, int method, const std::string& post_text,
                        std::string* cookies, std::string* returned_cookies, std::string* headers,
                        std::string* response_headers, bool no_redirect, std::string* post_bytes,
                        const std::string& proxy) {
  try {
    InitCurlOnce();
    const Verb verb = method == 1 ? Verb::kPost : method == 2 ? Verb::kHead : Verb::kGet;
    // A URL that cannot be addressed sends nothing and leaves every output as it was.
    Endpoint endpoint;
    if (!MakeEndpoint(url, proxy, &endpoint)) return {};

    std::string local_headers;
    std::string& header_text = headers != nullptr ? *headers : local_headers;
    const std::string user_agent = RequestUserAgent(header_text);
    CompleteRequestHeaders(header_text, url, cookies != nullptr ? *cookies : std::string());

    std::string local_body;
    std::string& body = post_bytes != nullptr ? *post_bytes : local_body;
    if (verb != Verb::kGet && body.empty()) body = post_text;

    TransferResult result;
    Request request{url,         verb, user_agent, header_text, verb == Verb::kGet ? nullptr : &body,
                    no_redirect, proxy};
    if (!Perform(request, std::move(endpoint), CurrentHttpLimits(), &result)) return {};

    std::string header_block = result.header_block_fits ? result.header_block : std::string();
    header_block = ReplaceAll(header_block, "Set-Cookie", "Set-Cookie", true);
    std::string set_cookies = CookiesSetBy(header_block);
    if (cookies != nullptr) MergeCookies(*cookies, set_cookies);
    if (response_headers != nullptr) *response_headers = std::move(header_block);
    if (returned_cookies != nullptr) *returned_cookies = std::move(set_cookies);
    return std::move(result.body);
  } catch (...) {
    return {};
  }
}

}  // namespace morvalin
