#include "web/http_transfer.h"

#include <mutex>

#include "web/text_ops.h"
#include "web/url.h"

namespace morvalin {
namespace {

bool IsHostByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
}

std::string EncodeTargetBytes(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (char c : path) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

void Touch(TransferResult* t) { t->last_activity = std::chrono::steady_clock::now(); }

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<TransferResult*>(user);
  Touch(t);
  const size_t n = size * count;
  const std::uint64_t room = t->body.size() >= t->max_body_bytes ? 0 : t->max_body_bytes - t->body.size();
  if (n > room) {
    // Keep what fits and stop the transfer: the caller gets the bytes up to the limit.
    t->body.append(data, static_cast<size_t>(room));
    return 0;
  }
  t->body.append(data, n);
  return n;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<TransferResult*>(user);
  Touch(t);
  const size_t n = size * count;
  std::string_view line(data, n);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  // A status line begins the block of the next response (after a 1xx reply or a proxy's CONNECT).
  if (line.rfind("HTTP/", 0) == 0) {
    t->header_block.clear();
    t->header_block_fits = true;
    t->location.clear();
    size_t code_at = line.find(' ');
    t->status =
        code_at == std::string_view::npos ? 0 : static_cast<int>(LeadingNumber(line.substr(code_at + 1, 3)));
  }
  if (t->header_block_fits) {
    t->header_block.append(line);
    t->header_block.append("\r\n");
    if (t->header_block.size() >= kHeaderBlockLimit) {
      t->header_block_fits = false;
      t->header_block.clear();
    }
  }
  if (Find(line, "Location:", 1, true) == 1) t->location = ValueAfterColon(line);
  // The empty line ends a block; after an interim 1xx reply the final one follows.
  if (line.empty() && t->headers_only && t->status >= 200) return 0;
  return n;
}

int OnConnected(void* user, char*, char*, int, int) {
  auto* t = static_cast<TransferResult*>(user);
  t->connected = true;
  Touch(t);
  return CURL_PREREQFUNC_OK;
}

// Ends the transfer once nothing has been sent or received for the idle time. Until the connection
// stands, the connect limit applies instead.
int OnProgress(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) {
  auto* t = static_cast<TransferResult*>(user);
  if (!t->connected) return 0;
  if (received + sent != t->progress) {
    t->progress = received + sent;
    Touch(t);
    return 0;
  }
  auto idle = std::chrono::steady_clock::now() - t->last_activity;
  return idle > std::chrono::milliseconds(t->idle_timeout_ms) ? 1 : 0;
}

}  // namespace

bool MakeEndpoint(std::string_view url, std::string_view proxy, Endpoint* endpoint) {
  if (url.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
  const std::string host = UrlHost(url);
  if (host.empty()) return false;
  for (char c : host) {
    if (!IsHostByte(c)) return false;
  }
  const int port = UrlPort(url);
  if (port < 0 || port > 65535) return false;
  const bool https = ToLowerAscii(url.substr(0, 5)) == "https";
  // Port 0 stands for the scheme's own port.
  std::string port_text;
  if (port != 0) port_text = ':' + std::to_string(port);
  endpoint->base_url = https ? "https://" : "http://";
  endpoint->base_url += host;
  endpoint->base_url += port_text;
  endpoint->base_url += '/';
  endpoint->target = EncodeTargetBytes(UrlPath(url));
  if (!proxy.empty() && !https) {
    std::string absolute = "http://";
    absolute += host;
    if (port != 80) absolute += port_text;
    endpoint->target = absolute + endpoint->target;
  }
  return true;
}

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void ApplyCommonOptions(CURL* curl, const HttpLimits& limits) {
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connect_timeout_ms);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, OnConnected);
}

void RunTransfer(CURL* curl, const Endpoint& endpoint, const HttpLimits& limits, bool headers_only,
                 TransferResult* result) {
  *result = TransferResult{};
  result->headers_only = headers_only;
  result->max_body_bytes = limits.max_body_bytes;
  result->idle_timeout_ms = limits.idle_timeout_ms;
  Touch(result);
  curl_easy_setopt(curl, CURLOPT_URL, endpoint.base_url.c_str());
  curl_easy_setopt(curl, CURLOPT_REQUEST_TARGET, endpoint.target.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, result);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, result);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, result);
  curl_easy_setopt(curl, CURLOPT_PREREQDATA, result);
  curl_easy_perform(curl);
}

}  // namespace morvalin
