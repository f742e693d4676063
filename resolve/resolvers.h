#pragma once
// The site resolvers: turn one pasted play-page address into the items to download.
//
// A resolved item is one code-page-936 text "media url|file name|host key"; nothing in it is escaped,
// so a title holding "|" shifts the fields. The resolvers keep no state; they fetch pages one at a
// time on the calling thread and block until each fetch ends (time-outs and the size cap belong to
// HttpRequest). Nothing here throws.
#include <functional>
#include <string>

#include "resolve/site_table.h"

namespace morvalin {

// GET of `address` with every request option at its default; the body up to its first zero byte.
// A request that cannot be made gives "". The body of an error reply is taken like any other page.
std::string FetchPageText(const std::string& address);

// Runs every site whose host key occurs in `line` (exact, case-sensitive), in site order, and
// calls `append` once per run with the ResolvedItem ("url|name|hostkey", code page 936).
// The line is used as it is, untrimmed. SiteA and SiteB append nothing when their page does not
// yield both a title and a media path; the other sites always append, with empty pieces for what
// the pages lack.
void ResolveLine(const std::string& line, const SiteTable& sites,
                 const std::function<void(const std::string& item)>& append);

}  // namespace morvalin
