#include "web/cookies.h"

#include "web/text_ops.h"

namespace morvalin {
namespace {

// Joins the items, each followed by `separator`, without the final separator.
std::string Join(const std::vector<std::string>& items, std::string_view separator) {
  std::string out;
  for (const std::string& item : items) {
    out += item;
    out += separator;
  }
  if (!out.empty()) out.resize(out.size() - separator.size());
  return out;
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

std::string MergeCookies(std::string& cookies, std::string& returned) {
  cookies = RemoveBlanks(cookies);
  returned = RemoveBlanks(returned);
  std::vector<std::string> merged = Split(returned, ";");
  for (const std::string& old_item : Split(cookies, ";")) {
    if (!HasCookieNamed(merged, CookieName(old_item))) merged.push_back(old_item);
  }
  std::vector<std::string> kept;
  for (std::string& item : merged) {
    if (!EndsWith(item, "=deleted")) kept.push_back(std::move(item));
  }
  cookies = RemoveDuplicateItems(Join(kept, "; "), "; ");
  return cookies;
}

std::string CookieName(std::string_view item) {
  int equals = Find(item, "=");
  if (equals == -1) return Trim(item);
  return Trim(item.substr(0, static_cast<size_t>(equals) - 1));
}

bool HasCookieNamed(const std::vector<std::string>& items, std::string_view name) {
  for (const std::string& item : items) {
    if (CookieName(item) == name) return true;
  }
  return false;
}

std::string RemoveDuplicateItems(std::string_view text, std::string_view separator) {
  std::vector<std::string> kept;
  for (std::string& item : Split(text, separator)) {
    if (FindItem(kept, item) == -1) kept.push_back(std::move(item));
  }
  return Join(kept, separator);
}

int FindItem(const std::vector<std::string>& items, std::string_view text) {
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] == text) return static_cast<int>(i + 1);
  }
  return -1;
}

}  // namespace morvalin
