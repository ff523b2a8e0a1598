// The companion's HTTP proxy: "http://[user:password@]host:port", given with
// --proxy or, without it, in http_proxy / HTTP_PROXY. An http:// server is
// asked through it with the whole URL in the request line; the proxy's own
// refusals are told apart from the server's answers.
#pragma once

#include <string>

#include "timesync/time_query.h"

namespace lanchuan {

// How a proxy is written, for the messages that ask for one.
constexpr const char* kProxyUrlForm = "http://[user:password@]host:port";

struct HttpProxy {
  std::string host;  // without brackets; empty: no proxy
  std::string port;
  std::string user, password;   // user empty: none
  bool password_given = false;  // "user:password@" rather than "user@"
  bool set() const { return !host.empty(); }
  // "host:port", an IPv6 literal in brackets.
  std::string host_port() const {
    return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + port;
  }
  // "Basic ..." when a user was given, else empty.
  std::string authorization() const;
};

// False for anything but "http://[user:password@]host:port[/]"; the user and
// password may be percent-encoded.
bool parse_proxy_url(const std::string& text, HttpProxy& proxy);

// The proxy as a task's command line names it: "http://user@host:port" (the
// user percent-encoded, so the text is ASCII) or "http://host:port"; never
// the password.
std::string proxy_url_without_password(const HttpProxy& proxy);

// `text` with the user information of every URL in it ("http://u:p@h/"
// becomes "http://h/"), for texts that others may read.
std::string without_user_info(const std::string& text);

// The passwords of proxies, kept by the system for the user who runs the
// program (the Credential Manager), so that no password stands in a task's
// command line. Keyed by the proxy's host, port and user.
class ProxyPasswords {
 public:
  virtual ~ProxyPasswords() = default;
  // False with `error` set when it could not be kept.
  virtual bool store(const HttpProxy& proxy, std::string& error) = 0;
  // Sets `proxy.password` when one is kept for its host, port and user.
  virtual bool find(HttpProxy& proxy) = 0;
};

// The first of http_proxy and HTTP_PROXY that is set and not empty, as curl
// reads them; "" when neither is.
std::string proxy_from_environment(const char* (*lookup)(const char* name));

std::string base64(const std::string& bytes);

// The proxy's own refusal, from the status line of an answer that came
// through it: "the proxy refused the request: 407 Proxy Authentication
// Required". Empty for statuses a server behind the proxy gives (the Date of
// those is the server's).
std::string proxy_refusal(const std::string& head);
// Whether an answer with this status through a proxy is taken as its
// refusal: 407 asks for the proxy's credentials, 403 is an access rule or a
// filter, 502-504 say it could not reach the server. (Inline: the request
// object's adapter, which the window links too, needs only this.)
inline bool is_proxy_refusal_status(int status) {
  return status == 407 || status == 403 || (status >= 502 && status <= 504);
}

// The companion's time query: an http:// server, while `proxy` is set, by
// `through_proxy` (plain sockets, which send the whole URL to the proxy);
// the rest by `usual` (the request object, which is given the proxy itself).
class ProxyChoosingTimeQuery : public TimeQuery {
 public:
  ProxyChoosingTimeQuery(const HttpProxy& proxy, TimeQuery& usual, TimeQuery& through_proxy)
      : proxy_(proxy), usual_(usual), through_proxy_(through_proxy) {}
  bool query_server_time(const std::string& url, DateTime& server_time) override;
  std::string failure() const override { return last_ ? last_->failure() : std::string(); }

 private:
  const HttpProxy& proxy_;
  TimeQuery& usual_;
  TimeQuery& through_proxy_;
  TimeQuery* last_ = nullptr;
};

}  // namespace lanchuan
