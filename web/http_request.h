#pragma once
// The system's own HTTP client: one blocking request, on libcurl.
#include <cstdint>
#include <string>

namespace morvalin {

// Performs one request and returns the response body (whatever the status), or empty bytes when the
// request could not be made. Parameters, in order:
//   url              absolute or scheme-less URL
//   method           0 GET, 1 POST, 2 HEAD; any other value is GET
//   post_text        body as text for POST and HEAD when *post_bytes is empty
//   cookies          the caller's cookie text; nullptr means "not supplied", which differs from an empty
//                    text: when supplied it is the only cookie source and is merged with the reply's.
//                    The client keeps no cookies of its own: without this text none are sent.
//   returned_cookies out: the cookies the reply set, "a=1; b=2"
//   headers          in/out: extra request header lines separated by CR LF; the default lines are
//                    appended to it in place
//   response_headers out: the raw response header block of the final response (status line through the
//                    empty last line, CR LF line ends); empty when it reaches 5000 bytes
//   no_redirect      do not follow redirects (the redirect reply itself is returned); otherwise up to 20
//                    are followed, a POST turning into a GET after 301, 302 and 303
//   post_bytes       in/out: body bytes for POST and HEAD; when empty it is replaced by post_text
//   proxy            "host:port"; empty means a direct connection
// A URL that cannot be addressed (no usable host, a port out of range, a line break in it) sends nothing
// and leaves every output untouched; a request that was sent sets the outputs even when no reply came.
// Output pointers may be nullptr. Nothing throws.
std::string HttpRequest(const std::string& url, int method = 0, const std::string& post_text = {},
                        std::string* cookies = nullptr, std::string* returned_cookies = nullptr,
                        std::string* headers = nullptr, std::string* response_headers = nullptr,
                        bool no_redirect = false, std::string* post_bytes = nullptr,
                        const std::string& proxy = {});

// Limits that keep one bad server from hanging a batch or exhausting memory. The system always uses
// the defaults; tests shorten them.
struct HttpLimits {
  long connect_timeout_ms = 60'000;  // no connection within this time: give up
  long idle_timeout_ms = 30'000;     // no data received for this long: give up with what arrived
  std::uint64_t max_body_bytes = 64ull * 1024 * 1024;  // stop reading here, return what arrived
};
void SetHttpLimitsForTesting(const HttpLimits& limits);
HttpLimits CurrentHttpLimits();

}  // namespace morvalin
