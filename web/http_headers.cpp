#include "web/http_headers.h"

#include "web/text_ops.h"
#include "web/url.h"

namespace morvalin {
namespace {

void AppendLine(std::string& headers, std::string_view line) {
  headers += "\r\n";
  headers += line;
}

}  // namespace

void CompleteRequestHeaders(std::string& headers, std::string_view url, std::string_view cookies) {
  if (headers.empty()) {
    headers = "Accept: */*";
  } else if (Find(headers, "Accept:") == -1) {
    AppendLine(headers, "Accept: */*");
  }
  if (Find(headers, "Referer:") == -1) AppendLine(headers, "Referer: " + std::string(url));
  if (Find(headers, "Accept-Language:") == -1) AppendLine(headers, "Accept-Language: zh-cn");
  if (Find(headers, "Content-Type:") == -1) {
    AppendLine(headers, "Content-Type: application/x-www-form-urlencoded");
  }
  if (!cookies.empty()) AppendLine(headers, "Cookie: " + std::string(cookies));
}

std::string RequestUserAgent(std::string_view headers) {
  if (Find(headers, "User-Agent:", 1, true) == -1) return kDefaultUserAgent;
  std::string agent = Trim(TextBetween(headers, "User-Agent:", "\r\n"));
  if (agent.empty()) agent = ValueAfterColon(headers);
  // A value taken from the rest of the text must not carry further lines with it.
  size_t line_end = agent.find_first_of("\r\n");
  if (line_end != std::string::npos) agent = Trim(std::string_view(agent).substr(0, line_end));
  return agent;
}

std::vector<std::string> RequestHeaderLines(std::string_view headers) {
  std::vector<std::string> lines;
  size_t begin = 0;
  while (begin <= headers.size()) {
    size_t end = headers.find_first_of("\r\n", begin);
    if (end == std::string_view::npos) end = headers.size();
    if (end > begin) lines.emplace_back(headers.substr(begin, end - begin));
    begin = end + 1;
  }
  return lines;
}

std::string CookiesSetBy(std::string_view response_headers) {
  std::string cookies;
  for (const std::string& line : Split(response_headers, "\r\n")) {
    if (Find(line, "Set-Cookie") == -1) continue;
    if (Find(line, ";") == -1) {
      cookies += Trim(ReplaceAll(line, "Set-Cookie:", "", true));
    } else {
      cookies += Trim(TextBetween(line, "Set-Cookie:", ";"));
    }
    cookies += "; ";
  }
  if (!cookies.empty()) cookies.resize(cookies.size() - 2);
  return cookies;
}

}  // namespace morvalin
