#include "timesync/socket_probe_win32.h"

// winsock2.h before windows.h, which would bring in the old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>
// (separate block: kept after winsock2.h)
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "base/unique_any.h"
#include "platform/win32/handles_win32.h"
#include "platform/win32/steady_clock_win32.h"
#include "platform/win32/thread_win32.h"
#include "timesync/offset_probe.h"
#include "timesync/peer_voice.h"
#include "timesync/proxy.h"

namespace lanchuan::win32 {
namespace {

const std::string kTimeLimitText = std::to_string(kSocketProbeTimeoutMs / 1000) + " s";

constexpr int kVolleyConnections = 6;

struct SocketTraits {
  using type = SOCKET;
  static constexpr SOCKET invalid() { return INVALID_SOCKET; }
  static void close(SOCKET s) { closesocket(s); }
};
using unique_socket = unique_any<SocketTraits>;

timeval until(std::int64_t deadline_ms) {
  const std::int64_t left = std::max<std::int64_t>(0, deadline_ms - steady_ms());
  timeval tv;
  tv.tv_sec = static_cast<long>(left / 1000);
  tv.tv_usec = static_cast<long>(left % 1000) * 1000;
  return tv;
}

// 1 when `s` is ready, 0 when the deadline passed first, -1 on an error.
int wait_for(SOCKET s, bool to_write, std::int64_t deadline_ms) {
  fd_set ready, failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(s, &ready);
  FD_SET(s, &failed);
  timeval tv = until(deadline_ms);
  const int n = select(0, to_write ? nullptr : &ready, to_write ? &ready : nullptr, &failed, &tv);
  if (n < 0 || FD_ISSET(s, &failed)) return -1;
  return n > 0 ? 1 : 0;
}

// Time-outs of a blocking socket's receives and sends: the time left until
// `deadline_ms`, at least a millisecond. False once it has passed.
bool time_out_at(SOCKET s, std::int64_t deadline_ms) {
  const std::int64_t left = deadline_ms - steady_ms();
  const DWORD timeout = static_cast<DWORD>(std::max<std::int64_t>(1, left));
  return left > 0 &&
         setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                    sizeof timeout) == 0 &&
         setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
                    sizeof timeout) == 0;
}

// Reads an answer's head from a blocking socket whose time-outs are set
// (time_out_at) until the head is whole; false when it failed (`failure`
// says why; `closed_before_answer` when the server ended the connection
// before its first byte). `received_us` is the steady clock's reading when
// the first bytes were read: the caller makes it a reading of its clock.
bool read_head(SOCKET s, std::int64_t deadline_ms, std::string& head, std::int64_t& received_us,
               std::string& failure, bool& closed_before_answer) {
  char buffer[2048];
  closed_before_answer = false;
  while (head.find("\r\n\r\n") == std::string::npos) {
    // The time-out was set for the first bytes; after a part of the head,
    // what is left of the deadline.
    const bool in_time = head.empty() || time_out_at(s, deadline_ms);
    const int n = in_time ? recv(s, buffer, sizeof buffer, 0) : -1;
    if (n > 0) {
      if (head.empty()) received_us = steady_us();
      head.append(buffer, static_cast<std::size_t>(n));
      if (head.size() > kMaxAnswerHeadBytes) {
        failure = "the answer's head is too long";
        return false;
      }
      continue;
    }
    if (n == 0) {
      closed_before_answer = head.empty();
      failure = head.empty() ? "the server closed the connection without an answer"
                             : "the server closed the connection within its answer";
    } else if (!in_time || WSAGetLastError() == WSAETIMEDOUT) {
      failure =
          (head.empty() ? "no answer within " : "the answer did not end within ") + kTimeLimitText;
    } else {
      closed_before_answer = head.empty();
      failure = "the connection failed";
    }
    return false;
  }
  return true;
}

// The address `s` is connected to, as a voice; "" when it cannot be read.
// getpeername names the connected peer (Microsoft documents it for a
// connected socket, with a SOCKADDR_STORAGE large enough for either family).
std::string peer_voice(SOCKET s) {
  sockaddr_storage peer = {};
  int length = sizeof peer;
  if (getpeername(s, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return std::string();
  std::uint8_t bytes[16];
  if (peer.ss_family == AF_INET && length >= static_cast<int>(sizeof(sockaddr_in))) {
    std::memcpy(bytes, &reinterpret_cast<const sockaddr_in*>(&peer)->sin_addr, 4);
    return ipv4_text(bytes);
  }
  if (peer.ss_family == AF_INET6 && length >= static_cast<int>(sizeof(sockaddr_in6))) {
    std::memcpy(bytes, &reinterpret_cast<const sockaddr_in6*>(&peer)->sin6_addr, 16);
    return ipv6_text(bytes);
  }
  return std::string();
}

// Writes the whole request on a blocking socket; false when the connection
// would not take it.
bool send_request(SOCKET s, const std::string& request) {
  for (std::size_t sent = 0; sent < request.size();) {
    const int n = send(s, request.data() + sent, static_cast<int>(request.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

// The answer of a whole head: its Date, or why there is none. Whether the
// connection can carry the next request goes to `reusable`. Through a proxy,
// its own refusal is no server's answer, Date or not.
void take_head(const std::string& head, bool through_proxy, ProbeAnswer& answer, bool& reusable) {
  AnswerHead parsed;
  const std::string refusal = through_proxy ? proxy_refusal(head) : std::string();
  if (!parse_answer_head(head, parsed)) {
    answer.failure = "not an HTTP answer";
  } else if (!refusal.empty()) {
    answer.failure = refusal;
    parsed.keep_alive = false;
  } else if (!answer_is_fresh(parsed.age, answer)) {
    // (the failure says so)
  } else if (parsed.date.empty()) {
    answer.failure = "no Date header";
  } else {
    take_date_header(parsed.date, answer);
  }
  // Bytes after the head belong to no request of ours.
  reusable = parsed.keep_alive && head.size() == head.find("\r\n\r\n") + 4;
}

// getaddrinfo has no time-out of its own: it runs on a thread of its own, and
// a resolution that outlasts the deadline is left to end by itself, with what
// it uses.
struct Resolution {
  WinsockUse winsock;
  std::string host, port;
  int error = 0;
  std::vector<std::pair<int, std::vector<char>>> addresses;
};

bool resolve(const HttpTarget& target, std::int64_t deadline_ms,
             std::vector<std::pair<int, std::vector<char>>>& addresses, std::string& failure) {
  auto shared = std::make_shared<Resolution>();
  shared->host = target.host;
  shared->port = target.port;
  const unique_handle resolver = start_thread([shared] {
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    shared->error = getaddrinfo(shared->host.c_str(), shared->port.c_str(), &hints, &found);
    for (addrinfo* a = found; shared->error == 0 && a != nullptr; a = a->ai_next) {
      const char* bytes = reinterpret_cast<const char*>(a->ai_addr);
      shared->addresses.emplace_back(a->ai_family, std::vector<char>(bytes, bytes + a->ai_addrlen));
    }
    if (found != nullptr) freeaddrinfo(found);
  });
  const DWORD left = static_cast<DWORD>(std::max<std::int64_t>(0, deadline_ms - steady_ms()));
  const DWORD waited = resolver ? WaitForSingleObject(resolver.get(), left) : WAIT_FAILED;
  if (waited == WAIT_TIMEOUT) {
    failure = "the name was not resolved within " + kTimeLimitText;
    return false;
  }
  // Once the thread has ended, what it wrote is there to read.
  if (waited != WAIT_OBJECT_0 || shared->error != 0 || shared->addresses.empty()) {
    failure = "the name could not be resolved";
    return false;
  }
  addresses = shared->addresses;
  return true;
}

// True when `reader` has ended; false while it runs, and when that cannot be
// told.
bool has_ended(const unique_handle& reader) {
  return WaitForSingleObject(reader.get(), 0) == WAIT_OBJECT_0;
}

// Waits until every one of `readers` (those not empty) has ended or
// `until_ms` has come; true when they all have.
bool wait_for_readers(const std::vector<unique_handle>& readers, std::int64_t until_ms) {
  std::vector<HANDLE> running;
  for (const unique_handle& reader : readers) {
    if (reader && !has_ended(reader)) running.push_back(reader.get());
  }
  if (running.empty()) return true;
  const DWORD left = static_cast<DWORD>(std::max<std::int64_t>(0, until_ms - steady_ms()));
  const DWORD count = static_cast<DWORD>(running.size());
  return WaitForMultipleObjects(count, running.data(), TRUE, left) - WAIT_OBJECT_0 < count;
}

}  // namespace

WinsockUse::WinsockUse() {
  WSADATA data;
  started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WinsockUse::~WinsockUse() {
  if (started_) WSACleanup();
}

SocketOffsetProber::SocketOffsetProber(HighResClock& clock, OffsetProber& fallback,
                                       const HttpProxy& proxy)
    : clock_(clock),
      fallback_(fallback),
      proxy_(proxy),
      socket_(INVALID_SOCKET),
      spare_(INVALID_SOCKET) {}

SocketOffsetProber::~SocketOffsetProber() { close_connection(); }

std::string SocketOffsetProber::voice_of(std::uintptr_t s) const {
  return proxy_.set() ? proxy_voice(proxy_) : peer_voice(static_cast<SOCKET>(s));
}

void SocketOffsetProber::close_connection() {
  if (socket_ != INVALID_SOCKET) closesocket(static_cast<SOCKET>(socket_));
  if (spare_ != INVALID_SOCKET) closesocket(static_cast<SOCKET>(spare_));
  socket_ = spare_ = INVALID_SOCKET;
}

bool SocketOffsetProber::open_connection(const std::string& url, const HttpTarget& target,
                                         std::int64_t deadline_ms, std::string& failure,
                                         std::uintptr_t* into) {
  if (!connect_to(url, proxy_.set() ? HttpTarget{proxy_.host, proxy_.port, "", ""} : target,
                  deadline_ms, failure, into)) {
    if (proxy_.set()) failure = "the proxy " + proxy_.host_port() + ": " + failure;
    return false;
  }
  return true;
}

bool SocketOffsetProber::connect_to(const std::string& url, const HttpTarget& target,
                                    std::int64_t deadline_ms, std::string& failure,
                                    std::uintptr_t* into) {
  if (!winsock_.started()) {
    failure = "Windows sockets are not available";
    return false;
  }
  if (url != url_ || addresses_.empty()) {
    url_ = url;
    addresses_.clear();
    std::vector<std::pair<int, std::vector<char>>> found;
    if (!resolve(target, deadline_ms, found, failure)) return false;
    for (auto& f : found) addresses_.push_back({f.first, std::move(f.second)});
  }
  failure = "the connection was refused";
  for (const Address& address : addresses_) {
    const SOCKET s = socket(address.family, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) continue;
    // Connected without blocking, so that the deadline holds; used blocking.
    u_long non_blocking = 1;
    ioctlsocket(s, FIONBIO, &non_blocking);
    const BOOL no_delay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&no_delay),
               sizeof no_delay);
    int ready = 1;
    if (connect(s, reinterpret_cast<const sockaddr*>(address.bytes.data()),
                static_cast<int>(address.bytes.size())) != 0) {
      ready = WSAGetLastError() == WSAEWOULDBLOCK ? wait_for(s, true, deadline_ms) : -1;
    }
    int error = 0;
    int length = sizeof error;
    if (ready > 0 &&
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0 &&
        error == 0) {
      non_blocking = 0;
      ioctlsocket(s, FIONBIO, &non_blocking);
      *(into != nullptr ? into : &socket_) = static_cast<std::uintptr_t>(s);
      return true;
    }
    closesocket(s);
    if (ready == 0) {
      failure = "no connection within " + kTimeLimitText;
      return false;
    }
  }
  return false;
}

bool SocketOffsetProber::exchange(const std::string& request, std::int64_t deadline_ms,
                                  ProbeAnswer& answer, std::string& head,
                                  bool& closed_before_answer) {
  const SOCKET s = static_cast<SOCKET>(socket_);
  closed_before_answer = false;
  head.clear();
  // Read before the request goes: a server may close the connection right
  // after its answer.
  answer.voice = voice_of(socket_);
  const bool in_time = time_out_at(s, deadline_ms);
  answer.sent_us = clock_.now_utc_us();
  const std::int64_t sent_steady_us = steady_us();
  answer.received_us = answer.sent_us;
  if (!in_time || !send_request(s, request)) {
    answer.failure = "the request could not be sent";
    closed_before_answer = true;
    return false;
  }
  std::int64_t received_steady_us = sent_steady_us;
  const bool complete =
      read_head(s, deadline_ms, head, received_steady_us, answer.failure, closed_before_answer);
  answer.received_us = answer.sent_us + (received_steady_us - sent_steady_us);
  return complete;
}

void SocketOffsetProber::keep_clean_connections(const std::string& url) {
  if (url != url_) close_connection();
  for (std::uintptr_t* kept : {&socket_, &spare_}) {
    if (*kept != INVALID_SOCKET && wait_for(static_cast<SOCKET>(*kept), false, steady_ms()) != 0) {
      closesocket(static_cast<SOCKET>(*kept));
      *kept = INVALID_SOCKET;
    }
  }
  if (socket_ == INVALID_SOCKET) std::swap(socket_, spare_);
}

ProbeAnswer SocketOffsetProber::probe(const std::string& url, std::int64_t send_at_us) {
  HttpTarget target;
  if (!split_http_url(url, target)) return fallback_.probe(url, send_at_us);
  ProbeAnswer answer;
  const std::int64_t wait_ms = std::max<std::int64_t>(0, (send_at_us - clock_.now_utc_us()) / 1000);
  const std::int64_t deadline_ms = steady_ms() + wait_ms + kSocketProbeTimeoutMs;

  // A kept connection that has something to read before the request is
  // closed, or the server's end, or bytes of no request's answer: a new one.
  keep_clean_connections(url);
  bool reused = socket_ != INVALID_SOCKET;
  std::string failure;
  if (!reused && !open_connection(url, target, deadline_ms, failure)) {
    answer.failure = failure;
    answer.sent_us = answer.received_us = clock_.now_utc_us();
    return answer;
  }

  clock_.wait_until_utc_us(send_at_us);
  const std::string request = head_request_text(target, proxy_);
  std::string head;
  bool closed_before_answer = false;
  bool complete = exchange(request, deadline_ms, answer, head, closed_before_answer);
  // A kept connection the server closed just as the request went: once more
  // on a new one, at once.
  if (!complete && reused && closed_before_answer) {
    close_connection();
    answer.failure.clear();
    if (!open_connection(url, target, deadline_ms, failure)) {
      answer.failure = failure;
      return answer;
    }
    complete = exchange(request, deadline_ms, answer, head, closed_before_answer);
  }
  if (!complete) {
    close_connection();
    return answer;
  }
  bool reusable = false;
  take_head(head, proxy_.set(), answer, reusable);
  if (!reusable) {
    closesocket(static_cast<SOCKET>(socket_));
    socket_ = INVALID_SOCKET;
    std::swap(socket_, spare_);
    // The next requests to this server are likely due within a second: the
    // new connections are made now, not in the time before them. One that
    // fails here is tried again then.
    std::string ignored;
    if (socket_ == INVALID_SOCKET) open_connection(url, target, deadline_ms, ignored);
    open_connection(url, target, deadline_ms, ignored, &spare_);
  }
  return answer;
}

int SocketOffsetProber::parallel_requests(const std::string& url) const {
  HttpTarget target;
  return split_http_url(url, target) ? kVolleyConnections : fallback_.parallel_requests(url);
}

std::vector<ProbeAnswer> SocketOffsetProber::probe_volley(
    const std::string& url, const std::vector<std::int64_t>& send_at_us) {
  HttpTarget target;
  const std::size_t n = send_at_us.size();
  if (!split_http_url(url, target) || n > static_cast<std::size_t>(kVolleyConnections)) {
    return OffsetProber::probe_volley(url, send_at_us);
  }
  std::vector<ProbeAnswer> answers(n);
  if (n == 0) return answers;
  const std::int64_t wait_ms =
      std::max<std::int64_t>(0, (send_at_us.back() - clock_.now_utc_us()) / 1000);
  const std::int64_t deadline_ms = steady_ms() + wait_ms + kSocketProbeTimeoutMs;

  // The kept connections first, then new ones, all made before the first
  // request is due; each has a thread of its own that waits for its answer.
  // A reading is all that its reader uses, held by both: a reader held up
  // past the prober's waits lets go of it (and closes its connection) when
  // it ends, at the deadline by its socket's time-outs.
  keep_clean_connections(url);
  struct Reading {
    WinsockUse winsock;  // declared before the socket: it is closed first
    unique_socket socket;
    std::string head;
    std::int64_t received_us = 0;  // on the steady clock
    std::string failure;
    bool complete = false;
  };
  std::vector<std::shared_ptr<Reading>> readings;
  std::vector<unique_handle> readers(n);
  for (std::size_t k = 0; k < n; ++k) {
    auto reading = std::make_shared<Reading>();
    readings.push_back(reading);
    std::uintptr_t s = INVALID_SOCKET;
    std::swap(s, socket_);
    if (s == INVALID_SOCKET) std::swap(s, spare_);
    std::string failure;
    if (s == INVALID_SOCKET && !open_connection(url, target, deadline_ms, failure, &s)) {
      answers[k].failure = failure;
      continue;
    }
    reading->socket.reset(static_cast<SOCKET>(s));
    answers[k].voice = voice_of(s);
    if (!time_out_at(reading->socket.get(), deadline_ms)) {
      answers[k].failure = "no connection within " + kTimeLimitText;
      continue;
    }
    readers[k] = start_thread([reading, deadline_ms] {
      bool closed_early = false;
      reading->complete = read_head(reading->socket.get(), deadline_ms, reading->head,
                                    reading->received_us, reading->failure, closed_early);
    });
    if (!readers[k]) answers[k].failure = "no thread to read the answer";
  }

  const std::string request = head_request_text(target, proxy_);
  std::vector<bool> sent(n, false);
  std::vector<std::int64_t> sent_steady_us(n, 0);
  for (std::size_t k = 0; k < n; ++k) {
    const SOCKET s = readings[k]->socket.get();
    if (!answers[k].failure.empty()) {
      answers[k].sent_us = answers[k].received_us = clock_.now_utc_us();
      if (s != INVALID_SOCKET) shutdown(s, SD_BOTH);
      continue;
    }
    clock_.wait_until_utc_us(send_at_us[k]);
    answers[k].sent_us = clock_.now_utc_us();
    sent_steady_us[k] = steady_us();
    sent[k] = send_request(s, request);
    if (!sent[k]) {
      answers[k].failure = "the request could not be sent";
      shutdown(s, SD_BOTH);  // its reader need not wait
    }
  }
  // The readers end at the deadline by themselves; should one not, shutting
  // its connection down ends its wait.
  if (!wait_for_readers(readers, deadline_ms + 1000)) {
    for (std::size_t k = 0; k < n; ++k) {
      if (readers[k] && !has_ended(readers[k])) shutdown(readings[k]->socket.get(), SD_BOTH);
    }
    wait_for_readers(readers, steady_ms() + 1000);
  }

  // Two connections the server keeps, with nothing after their answers, stay
  // for the next requests; the rest are closed, each by its reader when that
  // has not ended.
  for (std::size_t k = 0; k < n; ++k) {
    Reading& reading = *readings[k];
    const bool ended = !readers[k] || has_ended(readers[k]);
    bool reusable = false;
    if (sent[k] && ended) {
      answers[k].received_us =
          answers[k].sent_us + std::max<std::int64_t>(0, reading.received_us - sent_steady_us[k]);
      answers[k].failure = reading.failure;
      if (reading.complete) take_head(reading.head, proxy_.set(), answers[k], reusable);
    } else if (sent[k]) {
      answers[k].received_us = answers[k].sent_us;
      answers[k].failure = "no answer within " + kTimeLimitText;
    }
    std::uintptr_t* keep = socket_ == INVALID_SOCKET ? &socket_ : &spare_;
    if (ended && reusable && *keep == INVALID_SOCKET) {
      *keep = static_cast<std::uintptr_t>(reading.socket.release());
    } else if (ended) {
      reading.socket.reset();
    }
  }
  return answers;
}

}  // namespace lanchuan::win32
