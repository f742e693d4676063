#pragma once
// Merging the cookies a response set into a cookie text held by the caller ("a=1; b=2").
#include <string>
#include <string_view>
#include <vector>

namespace morvalin {

// Merges `returned` (the cookies a response set) into `cookies`: the returned ones first, then the old
// ones not set again; items ending in "=deleted" are dropped, repeats removed. Both variables lose their
// blanks. Returns the merged text, which also becomes `cookies`.
std::string MergeCookies(std::string& cookies, std::string& returned);
// The part of a cookie item before its first "=" (the whole item without one), trimmed.
std::string CookieName(std::string_view item);
// True when an item of `items` has the name `name` (exact comparison).
bool HasCookieNamed(const std::vector<std::string>& items, std::string_view name);
// `text` split at `separator` with repeated items removed, joined again with `separator`.
std::string RemoveDuplicateItems(std::string_view text, std::string_view separator);
// 1-based index of the first item equal to `text`, or -1.
int FindItem(const std::vector<std::string>& items, std::string_view text);

}  // namespace morvalin
