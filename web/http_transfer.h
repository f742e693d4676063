#pragma once
// One libcurl transfer of the HTTP client: where it goes, and what it collects from the reply, within
// the limits that keep a bad server from hanging the caller or filling memory.
#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "web/http_request.h"

namespace morvalin {

// The raw header block must stay below this many bytes to be handed back.
inline constexpr std::size_t kHeaderBlockLimit = 5000;

// Where one request goes: the origin libcurl connects to ("http://host:port/") and the request target
// it writes into the request line unchanged.
struct Endpoint {
  std::string base_url;
  std::string target;
};

// The host, port and target of `url`. The target is the URL's path as written, with blanks and control
// bytes percent-encoded so that they cannot break the request line; through a proxy an http request
// names its absolute URL. False when the URL cannot be addressed: a line break or NUL in it, an empty
// host or one with characters no host name has, a port out of range.
bool MakeEndpoint(std::string_view url, std::string_view proxy, Endpoint* endpoint);

// What one transfer received.
struct TransferResult {
  std::string body;
  std::string header_block;       // the latest response's header lines, each ending in CR LF
  bool header_block_fits = true;  // false once that block reached kHeaderBlockLimit
  std::string location;           // the latest response's Location value
  int status = 0;                 // the latest response's status code
  bool headers_only = false;      // stop once a final response's header block is complete
  // Book-keeping of the idle limit.
  bool connected = false;
  curl_off_t progress = 0;
  std::chrono::steady_clock::time_point last_activity;
  std::uint64_t max_body_bytes = 0;
  long idle_timeout_ms = 0;
};

// Initialises libcurl for the process, once, from whichever thread comes first.
void InitCurlOnce();
// The options every request of this client shares: no signals, the connect limit, http and https only,
// no redirects followed by libcurl itself.
void ApplyCommonOptions(CURL* curl, const HttpLimits& limits);
// Performs one request to `endpoint` on `curl` (verb, headers and body already set), filling `result`
// afresh. With `headers_only` the transfer ends after the final response's header block, so that no
// body is read. Transfer errors are not reported: what arrived is what there is.
void RunTransfer(CURL* curl, const Endpoint& endpoint, const HttpLimits& limits, bool headers_only,
                 TransferResult* result);

}  // namespace morvalin
