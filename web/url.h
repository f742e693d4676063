#pragma once
// Splitting URLs into what a connection needs: host, port and request target.
#include <string>
#include <string_view>

namespace morvalin {

// The host of a URL in lower case; with `keep_port`, followed by ":" and the port when the URL has one.
std::string UrlHost(std::string_view url, bool keep_port = false);
// The port: the one written in the URL, else 443 for https and 80 otherwise.
int UrlPort(std::string_view url);
// The request target: from the first "/" after the host to the end (query included), or "/".
std::string UrlPath(std::string_view url);
// The absolute URL a redirect's Location value leads to from `base`: an http or https URL as it is, a
// scheme-relative, absolute-path, query or relative reference joined to `base`. Empty for any other
// scheme, which the client does not follow.
std::string ResolveLocation(std::string_view base, std::string_view location);
// The part of a text after its first ":", trimmed; empty when there is no colon.
std::string ValueAfterColon(std::string_view text);

}  // namespace morvalin
