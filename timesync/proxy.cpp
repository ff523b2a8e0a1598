#include "timesync/proxy.h"

#include <cctype>

#include "timesync/offset_probe.h"
#include "timesync/socket_probe.h"

namespace lanchuan {
namespace {

constexpr const char* kHexDigits = "0123456789ABCDEF";
constexpr const char* kBase64Digits =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// False for a '%' not followed by two hex digits.
bool percent_decoded(const std::string& text, std::string& decoded) {
  decoded.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded += text[i];
      continue;
    }
    const int high = i + 2 < text.size() ? hex_value(text[i + 1]) : -1;
    const int low = high >= 0 ? hex_value(text[i + 2]) : -1;
    if (low < 0) return false;
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

}  // namespace

std::string HttpProxy::authorization() const {
  return user.empty() ? std::string() : "Basic " + base64(user + ":" + password);
}

bool parse_proxy_url(const std::string& text, HttpProxy& proxy) {
  // The scheme is checked with the host and port below.
  const std::size_t authority = text.find("://");
  if (authority == std::string::npos) return false;
  const std::string scheme = text.substr(0, authority + 3);
  std::string rest = text.substr(scheme.size());
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  HttpProxy parsed;
  const std::size_t at = rest.rfind('@');
  if (at != std::string::npos) {
    const std::string user_info = rest.substr(0, at);
    const std::size_t colon = user_info.find(':');
    if (!percent_decoded(user_info.substr(0, colon), parsed.user) || parsed.user.empty()) {
      return false;
    }
    parsed.password_given = colon != std::string::npos;
    if (parsed.password_given && !percent_decoded(user_info.substr(colon + 1), parsed.password)) {
      return false;
    }
    rest = rest.substr(at + 1);
  }
  // host:port as in a server URL, with the port written out and no path.
  HttpTarget target;
  if (!split_http_url(scheme + rest, target) || !target.path.empty() ||
      rest.size() <= target.port.size() ||
      rest.compare(rest.size() - target.port.size() - 1, std::string::npos, ":" + target.port) !=
          0) {
    return false;
  }
  parsed.host = target.host;
  parsed.port = target.port;
  proxy = parsed;
  return true;
}

std::string proxy_url_without_password(const HttpProxy& proxy) {
  std::string url = "http://";
  if (!proxy.user.empty()) {
    for (const char c : proxy.user) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (std::isalnum(u) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
        url += c;
      } else {
        url += '%';
        url += kHexDigits[u >> 4];
        url += kHexDigits[u & 15];
      }
    }
    url += '@';
  }
  return url + proxy.host_port();
}

std::string without_user_info(const std::string& text) {
  std::string clean;
  std::size_t from = 0;
  for (std::size_t scheme = text.find("://"); scheme != std::string::npos;
       scheme = text.find("://", from)) {
    const std::size_t authority = scheme + 3;
    const std::size_t end = text.find_first_of("/?# \t\r\n\"", authority);
    const std::size_t at = text.rfind('@', end == std::string::npos ? text.size() : end - 1);
    clean += text.substr(from, authority - from);
    from = at != std::string::npos && at >= authority ? at + 1 : authority;
  }
  return clean + text.substr(from);
}

std::string proxy_from_environment(const char* (*lookup)(const char* name)) {
  for (const char* name : {"http_proxy", "HTTP_PROXY"}) {
    const char* value = lookup(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return std::string();
}

std::string base64(const std::string& bytes) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
    for (std::size_t k = 0; k < 4; ++k) {
      text += i + k <= bytes.size() ? kBase64Digits[(group >> (18 - 6 * k)) & 63] : '=';
    }
  }
  return text;
}

bool ProxyChoosingTimeQuery::query_server_time(const std::string& url, DateTime& server_time) {
  HttpTarget target;
  last_ = proxy_.set() && split_http_url(url, target) ? &through_proxy_ : &usual_;
  return last_->query_server_time(url, server_time);
}

std::string proxy_refusal(const std::string& head) {
  // "HTTP/1.x NNN Reason".
  const std::size_t line_end = head.find_first_of("\r\n");
  const std::string line = head.substr(0, line_end);
  if (line.size() < 12 || line.compare(0, 7, "HTTP/1.") != 0 || line[8] != ' ') return "";
  int status = 0;
  for (std::size_t i = 9; i < 12; ++i) {
    if (line[i] < '0' || line[i] > '9') return "";
    status = status * 10 + (line[i] - '0');
  }
  if (!is_proxy_refusal_status(status)) return "";
  return "the proxy refused the request: " + printable(line.substr(9));
}

}  // namespace lanchuan
