#include "timesync/socket_probe.h"

#include <cctype>

#include "timesync/time_query.h"

namespace lanchuan {
namespace {

constexpr const char* kHttpScheme = "http://";

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool all_digits(const std::string& text) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

bool split_http_url(const std::string& url, HttpTarget& target) {
  const std::string scheme = kHttpScheme;
  if (lower(url.substr(0, scheme.size())) != scheme) return false;
  // Blanks and control bytes would end the request line or add header lines.
  for (char c : url) {
    if (static_cast<unsigned char>(c) <= ' ' || c == '\x7f') return false;
  }
  const std::size_t authority_end = url.find_first_of("/?#", scheme.size());
  const std::string authority = url.substr(scheme.size(), authority_end - scheme.size());
  std::string path = authority_end == std::string::npos ? "" : url.substr(authority_end);
  if (!path.empty() && path[0] != '/') return false;  // a query or fragment right after the host
  if (!path.empty() && path.back() == '/') path.pop_back();

  std::string host = authority, port = "80";
  std::size_t colon = std::string::npos;
  if (!authority.empty() && authority[0] == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string::npos) return false;
    host = authority.substr(1, close - 1);
    if (close + 1 < authority.size()) {
      if (authority[close + 1] != ':') return false;
      colon = close + 1;
    }
  } else {
    colon = authority.find(':');
    host = authority.substr(0, colon);
  }
  if (colon != std::string::npos) {
    port = authority.substr(colon + 1);
    if (!all_digits(port)) return false;
  }
  if (host.empty() || host.find_first_of(" @") != std::string::npos) return false;
  target.host = host;
  target.port = port;
  target.host_line = authority;
  target.path = path;
  return true;
}

std::string url_host(const std::string& url) {
  // https:// names its host as http:// does.
  HttpTarget target;
  const bool https = url.compare(0, 8, "https://") == 0;
  if (!split_http_url(https ? "http://" + url.substr(8) : url, target)) return std::string();
  return lower(target.host);
}

std::string head_request_text(const HttpTarget& target, const HttpProxy& proxy) {
  const std::string origin = proxy.set() ? kHttpScheme + target.host_line : std::string();
  const std::string credentials =
      proxy.user.empty() ? std::string() : "Proxy-Authorization: " + proxy.authorization() + "\r\n";
  return "HEAD " + origin + target.path + kTimeQueryPath +
         " HTTP/1.1\r\nHost: " + target.host_line + "\r\n" + credentials +
         "Connection: keep-alive\r\nCache-Control: no-cache\r\nPragma: no-cache\r\n\r\n";
}

bool parse_answer_head(const std::string& head, AnswerHead& parsed) {
  if (head.compare(0, 7, "HTTP/1.") != 0 || head.size() < 8) return false;
  const bool http11 = head[7] != '0';
  bool close = false, keep_alive = false;
  parsed.date.clear();
  parsed.age.clear();
  std::size_t at = head.find('\n');
  while (at != std::string::npos) {
    const std::size_t end = head.find('\n', at + 1);
    std::string line = head.substr(at + 1, end == std::string::npos ? end : end - at - 1);
    at = end;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string name = lower(trimmed(line.substr(0, colon)));
    const std::string value = trimmed(line.substr(colon + 1));
    if (name == "date" && parsed.date.empty()) parsed.date = value;
    if (name == "age" && parsed.age.empty()) parsed.age = value;
    if (name == "connection") {
      const std::string tokens = lower(value);
      close = close || tokens.find("close") != std::string::npos;
      keep_alive = keep_alive || tokens.find("keep-alive") != std::string::npos;
    }
  }
  parsed.keep_alive = !close && (http11 || keep_alive);
  return true;
}

}  // namespace lanchuan
