// The offset probe over a plain TCP connection, the parts that need no
// sockets: where an http:// URL points, the request's bytes, and what the head
// of an answer says. The Winsock transport is in socket_probe_win32.
#pragma once

#include <cstddef>
#include <string>

#include "base/deadlines.h"
#include "timesync/proxy.h"

namespace lanchuan {

// An answer's head longer than this is not a web server's.
constexpr std::size_t kMaxAnswerHeadBytes = 16384;

// "http://host[:port][/path]"; host may be a bracketed IPv6 literal.
struct HttpTarget {
  std::string host;       // without the brackets
  std::string port;       // "80" when none is given
  std::string host_line;  // the Host header's value: as written in the URL
  std::string path;       // "" or "/...": the request goes to path + "/123.123"
};

// False for anything but such a URL (https:// included).
bool split_http_url(const std::string& url, HttpTarget& target);

// The host of an http:// or https:// URL, in lower case; "" when it names none.
std::string url_host(const std::string& url);

// HEAD path + "/123.123" over HTTP/1.1 asking to keep the connection, and
// caches on the way not to answer in the server's place. Through `proxy`
// (when set) the request line names the whole URL, with the proxy's
// credentials when it has them.
std::string head_request_text(const HttpTarget& target, const HttpProxy& proxy = HttpProxy());

struct AnswerHead {
  std::string date;         // the Date header's value, blanks trimmed; empty when none
  std::string age;          // the Age header's value, likewise
  bool keep_alive = false;  // the server will read another request on this connection
};

// `head` is an answer up to and including its blank line. False when it does
// not begin with an HTTP/1.x status line.
bool parse_answer_head(const std::string& head, AnswerHead& parsed);

}  // namespace lanchuan
