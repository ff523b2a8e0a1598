#include "timesync/peer_voice.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "timesync/socket_probe.h"

namespace lanchuan {
namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The groups of one side of "::" into `groups`; false when one is no group.
// The last may be dotted decimal (two groups) when `ipv4_allowed`.
bool parse_groups(const std::string& text, bool ipv4_allowed, std::vector<unsigned>& groups) {
  if (text.empty()) return true;
  std::size_t at = 0;
  for (;;) {
    const std::size_t colon = text.find(':', at);
    const std::string group = text.substr(at, colon == std::string::npos ? colon : colon - at);
    std::uint8_t v4[4];
    if (colon == std::string::npos && ipv4_allowed && parse_ipv4(group, v4)) {
      groups.push_back(v4[0] << 8 | v4[1]);
      groups.push_back(v4[2] << 8 | v4[3]);
      return true;
    }
    if (group.empty() || group.size() > 4) return false;
    unsigned value = 0;
    for (char c : group) {
      if (hex_value(c) < 0) return false;
      value = value << 4 | static_cast<unsigned>(hex_value(c));
    }
    groups.push_back(value);
    if (colon == std::string::npos) return true;
    at = colon + 1;
  }
}

}  // namespace

std::string ipv4_text(const std::uint8_t bytes[4]) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}

std::string ipv6_text(const std::uint8_t bytes[16]) {
  static const std::uint8_t kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  bool mapped = true;
  for (int i = 0; i < 12; ++i) mapped = mapped && bytes[i] == kMappedPrefix[i];
  if (mapped) return ipv4_text(bytes + 12);

  unsigned groups[8];
  for (int i = 0; i < 8; ++i)
    groups[i] = static_cast<unsigned>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
  int best_start = -1, best_length = 1;  // a single zero group is written "0"
  for (int i = 0; i < 8;) {
    int j = i;
    while (j < 8 && groups[j] == 0) ++j;
    if (j - i > best_length) {
      best_start = i;
      best_length = j - i;
    }
    i = j == i ? i + 1 : j;
  }
  std::string text;
  for (int i = 0; i < 8; ++i) {
    if (i == best_start) {
      text += "::";
      i += best_length - 1;
      continue;
    }
    char group[8];
    std::snprintf(group, sizeof group, "%x", groups[i]);
    if (!text.empty() && text.back() != ':') text += ':';
    text += group;
  }
  return text;
}

bool parse_ipv4(const std::string& text, std::uint8_t bytes[4]) {
  std::size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t end = i < 3 ? text.find('.', at) : text.size();
    if (end == std::string::npos) return false;
    const std::string number = text.substr(at, end - at);
    if (number.empty() || number.size() > 3 || (number.size() > 1 && number[0] == '0')) {
      return false;
    }
    unsigned value = 0;
    for (char c : number) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 255) return false;
    bytes[i] = static_cast<std::uint8_t>(value);
    at = end + 1;
  }
  return true;
}

bool parse_ipv6(const std::string& text, std::uint8_t bytes[16]) {
  const std::size_t gap = text.find("::");
  std::vector<unsigned> head, tail;
  if (gap == std::string::npos) {
    if (!parse_groups(text, true, head) || head.size() != 8) return false;
  } else {
    if (text.find("::", gap + 1) != std::string::npos) return false;
    if (!parse_groups(text.substr(0, gap), false, head) ||
        !parse_groups(text.substr(gap + 2), true, tail) || head.size() + tail.size() > 7) {
      return false;
    }
    head.resize(8 - tail.size(), 0);
    head.insert(head.end(), tail.begin(), tail.end());
  }
  for (int i = 0; i < 8; ++i) {
    bytes[2 * i] = static_cast<std::uint8_t>(head[i] >> 8);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(head[i] & 0xff);
  }
  return true;
}

std::string host_voice(const std::string& host) {
  std::string name = host;
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::uint8_t bytes[16];
  if (parse_ipv4(name, bytes)) return ipv4_text(bytes);
  if (parse_ipv6(name, bytes)) return ipv6_text(bytes);
  // "h.test." is the fully qualified spelling of "h.test", one name.
  if (name.size() > 1 && name.back() == '.') name.pop_back();
  return name;
}

std::string url_voice(const std::string& url) { return host_voice(url_host(url)); }

std::string proxy_voice(const HttpProxy& proxy) {
  return "proxy " + host_voice(proxy.host) + ":" + proxy.port;
}

}  // namespace lanchuan
