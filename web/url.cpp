#include "web/url.h"

#include <algorithm>
#include <climits>

#include "web/text_ops.h"

namespace morvalin {
namespace {

bool StartsWithHttps(std::string_view url) { return ToLowerAscii(url.substr(0, 5)) == "https"; }

// The integer at the start of `text` as atoi reads it (blanks skipped, a sign, digits), 0 without
// digits; clamped to the int range.
int LeadingInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) value = INT_MAX;
  }
  return static_cast<int>(negative ? -value : value);
}

}  // namespace

std::string UrlHost(std::string_view url, bool keep_port) {
  std::string lower = ToLowerAscii(url);
  if (lower.empty() || lower.back() != '/') lower += '/';
  std::string scheme = "https://";
  if (lower.rfind("https://", 0) != 0) {
    scheme = "http://";
    if (Find(lower, scheme) == -1) lower.insert(0, scheme);
  }
  std::string host = TextBetween(lower, scheme, "/");
  if (!keep_port) {
    int colon = Find(host, ":");
    if (colon != -1) host.resize(static_cast<size_t>(colon) - 1);
  }
  return host;
}

int UrlPort(std::string_view url) {
  std::string host = UrlHost(url, true);
  int colon = FindLast(host, ":");
  if (colon == -1) return StartsWithHttps(url) ? 443 : 80;
  return LeadingInt(std::string_view(host).substr(static_cast<size_t>(colon)));
}

std::string UrlPath(std::string_view url) {
  std::string host = UrlHost(url);
  // The host is looked for after the scheme, so that a host whose name also occurs in "http://"
  // (such as "t" or "p") is not found inside the scheme.
  int start = 1;
  std::string lower_head = ToLowerAscii(url.substr(0, 8));
  if (lower_head.rfind("https://", 0) == 0)
    start = 9;
  else if (lower_head.rfind("http://", 0) == 0)
    start = 8;
  int host_at = Find(url, host, start, true);
  if (host_at == -1) host_at = start;
  int slash = Find(url, "/", host_at);
  if (slash == -1) return "/";
  return std::string(url.substr(static_cast<size_t>(slash) - 1));
}

std::string ResolveLocation(std::string_view base, std::string_view location) {
  const std::string target = Trim(location);
  const std::string lower = ToLowerAscii(target);
  if (lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0) return target;
  const std::string scheme = StartsWithHttps(base) ? "https:" : "http:";
  if (target.rfind("//", 0) == 0) return scheme + target;
  // Any other "scheme:" ahead of the first "/", "?" or "#" is a scheme this client does not speak.
  size_t colon = target.find(':');
  if (colon != std::string::npos && colon < target.find_first_of("/?#")) return {};

  const std::string origin = scheme + "//" + UrlHost(base, true);
  if (target.rfind("/", 0) == 0) return origin + target;
  std::string path = UrlPath(base);
  const size_t query_at = std::min(path.find('?'), path.find('#'));
  if (query_at != std::string::npos) path.resize(query_at);
  if (target.empty()) return origin + path;
  if (target[0] == '?') return origin + path + target;
  path.resize(path.rfind('/') + 1);
  return origin + path + target;
}

std::string ValueAfterColon(std::string_view text) {
  int colon = Find(text, ":");
  if (colon == -1) return {};
  return Trim(text.substr(static_cast<size_t>(colon)));
}

}  // namespace morvalin
