#pragma once
// The header texts of one request: the request header lines the client sends, and what it reads from
// the raw response header block.
#include <string>
#include <string_view>
#include <vector>

namespace morvalin {

inline constexpr char kDefaultUserAgent[] = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// Completes the caller's header lines in place: "Accept: */*", "Referer: <url>", "Accept-Language:
// zh-cn" and "Content-Type: application/x-www-form-urlencoded" each when the text holds no line of that
// name (letter case significant), then "Cookie: <cookies>" when `cookies` is non-empty. Lines are joined
// with CR LF; no CR LF follows the last one.
void CompleteRequestHeaders(std::string& headers, std::string_view url, std::string_view cookies);

// The User-Agent the request carries: the default one when `headers` holds no "User-Agent:" line in any
// letter case, else the value given there (up to the end of its line).
std::string RequestUserAgent(std::string_view headers);

// The header text cut into lines as they go on the wire: split at line ends (CR LF, and a lone CR or
// LF as well, so that no line can smuggle in another), empty lines left out.
std::vector<std::string> RequestHeaderLines(std::string_view headers);

// The cookies a raw response header block sets, "a=1; b=2": the value of every "Set-Cookie" line up to
// its first attribute. `response_headers` is expected with "Set-Cookie" already spelled in that case.
std::string CookiesSetBy(std::string_view response_headers);

}  // namespace morvalin
