// The offset probe over a plain Winsock connection. The request object's own
// thread and buffering put several milliseconds, varying, between the clock
// readings and the wire; here the connection is made before the request is
// due, the request's bytes are written at the chosen moment in one send, and
// the answer is stamped when the first bytes of its status line are read.
// A connection the server keeps open serves the next request to that URL.
// One it closes is made again right after the answer, for the request after
// next: the next goes on the one made an answer earlier, which the server
// has had time to take up (a fresh one may wait there for a moment, and the
// request with it).
// A volley goes on connections of its own, made before its first request is
// due: no more at once than a browser opens to one host.
// Each answer's voice is the address its connection reached (getpeername),
// or the proxy's voice through a proxy.
// Answers are read in blocking receives, one thread to a connection: under
// Wine a thread waiting in select() wakes, now and then, milliseconds after
// the bytes came; one blocked in recv() wakes as they come.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "timesync/offset.h"
#include "timesync/socket_probe.h"

namespace lanchuan::win32 {

// Windows sockets, started for as long as this lives (WSAStartup counts):
// what the prober holds, and each thread of its that may outlive it.
class WinsockUse {
 public:
  WinsockUse();
  ~WinsockUse();
  WinsockUse(const WinsockUse&) = delete;
  WinsockUse& operator=(const WinsockUse&) = delete;
  bool started() const { return started_; }

 private:
  bool started_ = false;
};

class SocketOffsetProber : public OffsetProber {
 public:
  // URLs other than http:// (https:// needs TLS) go to `fallback`, the
  // prober over the request object. http:// ones go through `proxy` when it
  // is set (read at each request: the command line sets it after this is
  // made); the connections are then the proxy's.
  SocketOffsetProber(HighResClock& clock, OffsetProber& fallback, const HttpProxy& proxy);
  ~SocketOffsetProber() override;
  SocketOffsetProber(const SocketOffsetProber&) = delete;
  SocketOffsetProber& operator=(const SocketOffsetProber&) = delete;

  // Ends within kSocketProbeTimeoutMs of the later of the call and
  // `send_at_us`; a probe out of time fails with that as its reason.
  ProbeAnswer probe(const std::string& url, std::int64_t send_at_us) override;
  int parallel_requests(const std::string& url) const override;
  std::vector<ProbeAnswer> probe_volley(const std::string& url,
                                        const std::vector<std::int64_t>& send_at_us) override;

 private:
  struct Address {
    int family = 0;
    std::vector<char> bytes;  // a sockaddr of that family
  };

  // Into `into`, or `socket_` when none is given; to the proxy when there
  // is one, and then a failure names it.
  bool open_connection(const std::string& url, const HttpTarget& target, std::int64_t deadline_ms,
                       std::string& failure, std::uintptr_t* into = nullptr);
  bool connect_to(const std::string& url, const HttpTarget& target, std::int64_t deadline_ms,
                  std::string& failure, std::uintptr_t* into);
  bool exchange(const std::string& request, std::int64_t deadline_ms, ProbeAnswer& answer,
                std::string& head, bool& closed_before_answer);
  void close_connection();
  // Who answers on connection `s` (ProbeAnswer::voice): the address it is
  // connected to, or the proxy's voice while there is a proxy.
  std::string voice_of(std::uintptr_t s) const;
  // Closes the kept connections that are to another URL, or that the server
  // has closed or written to.
  void keep_clean_connections(const std::string& url);

  HighResClock& clock_;
  OffsetProber& fallback_;
  const HttpProxy& proxy_;
  WinsockUse winsock_;
  std::uintptr_t socket_;  // the open connection, or the invalid socket
  std::uintptr_t spare_;   // one more to the same URL, made earlier, or the invalid socket
  std::string url_;        // whose connection that is, and whose addresses:
  std::vector<Address> addresses_;
};

}  // namespace lanchuan::win32
