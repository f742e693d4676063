#include "p2p/aria2_options.h"

#include <algorithm>
#include <cctype>

namespace morvalin::p2p {
namespace {

// A header value must stay one line.
std::string OneLine(std::string text) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return text;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
}

}  // namespace

aria2::KeyVals SessionOptions() {
  return {
      {"no-conf", "true"},
      {"no-netrc", "true"},
      {"quiet", "true"},
      {"console-log-level", "error"},
      {"download-result", "hide"},
      {"summary-interval", "0"},
      {"follow-torrent", "false"},
      {"follow-metalink", "false"},
      {"enable-dht", "false"},
      {"enable-dht6", "false"},
      {"max-concurrent-downloads", "8"},
      // Several connections per file, so that a server that throttles each connection still fills the line.
      {"split", "4"},
      {"max-connection-per-server", "4"},
      {"min-split-size", "1M"},
      {"file-allocation", "none"},
      {"auto-save-interval", "3"},
      {"connect-timeout", "30"},
      {"timeout", "30"},
      {"max-tries", "5"},
      {"retry-wait", "1"},
  };
}

aria2::KeyVals DownloadOptions(const TaskParams& params, const std::string& safe_name) {
  aria2::KeyVals options;
  if (!params.save_path.empty()) options.emplace_back("dir", params.save_path);
  if (!safe_name.empty()) options.emplace_back("out", safe_name);
  options.emplace_back("continue", params.resume ? "true" : "false");
  options.emplace_back("auto-file-renaming", params.disable_auto_rename ? "false" : "true");
  if (!params.referrer.empty()) options.emplace_back("referer", OneLine(params.referrer));
  if (!params.cookies.empty()) options.emplace_back("header", "Cookie: " + OneLine(params.cookies));
  return options;
}

bool IsSupportedUrl(const std::string& url) {
  for (const char* scheme : {"http://", "https://", "ftp://"}) {
    const std::string prefix(scheme);
    if (StartsWithNoCase(url, prefix) && url.size() > prefix.size()) return true;
  }
  return false;
}

}  // namespace morvalin::p2p
