#include "timesync/socket_probe_win32.h"

// winsock2.h before windows.h, which would bring in the old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>
// (separate block: kept after winsock2.h)
#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/win32/thread_win32.h"
#include "timesync/offset_probe.h"

namespace lanchuan::win32 {
namespace {

const std::string kTimeLimitText = std::to_string(kSocketProbeTimeoutMs / 1000) + " s";

std::int64_t steady_ms() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return count.QuadPart / (frequency.QuadPart / 1000);
}

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

// getaddrinfo has no time-out of its own: it runs on a thread of its own, and
// a resolution that outlasts the deadline is left to end by itself.
struct Resolution {
  std::mutex mutex;
  std::condition_variable done_signal;
  bool done = false;
  int error = 0;
  std::vector<std::pair<int, std::vector<char>>> addresses;
};

bool resolve(const HttpTarget& target, std::int64_t deadline_ms,
             std::vector<std::pair<int, std::vector<char>>>& addresses, std::string& failure) {
  auto shared = std::make_shared<Resolution>();
  const bool started = start_detached_thread([shared, host = target.host, port = target.port] {
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const int error = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->error = error;
    for (addrinfo* a = found; error == 0 && a != nullptr; a = a->ai_next) {
      const char* bytes = reinterpret_cast<const char*>(a->ai_addr);
      shared->addresses.emplace_back(a->ai_family, std::vector<char>(bytes, bytes + a->ai_addrlen));
    }
    if (found != nullptr) freeaddrinfo(found);
    shared->done = true;
    shared->done_signal.notify_all();
  });
  if (!started) {
    failure = "the name could not be resolved";
    return false;
  }
  std::unique_lock<std::mutex> lock(shared->mutex);
  const std::int64_t left = std::max<std::int64_t>(0, deadline_ms - steady_ms());
  if (!shared->done_signal.wait_for(lock, std::chrono::milliseconds(left),
                                    [&] { return shared->done; })) {
    failure = "the name was not resolved within " + kTimeLimitText;
    return false;
  }
  if (shared->error != 0 || shared->addresses.empty()) {
    failure = "the name could not be resolved";
    return false;
  }
  addresses = shared->addresses;
  return true;
}

}  // namespace

SocketOffsetProber::SocketOffsetProber(HighResClock& clock, OffsetProber& fallback)
    : clock_(clock), fallback_(fallback), socket_(INVALID_SOCKET), spare_(INVALID_SOCKET) {
  WSADATA data;
  winsock_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

SocketOffsetProber::~SocketOffsetProber() {
  close_connection();
  if (winsock_) WSACleanup();
}

void SocketOffsetProber::close_connection() {
  if (socket_ != INVALID_SOCKET) closesocket(static_cast<SOCKET>(socket_));
  if (spare_ != INVALID_SOCKET) closesocket(static_cast<SOCKET>(spare_));
  socket_ = spare_ = INVALID_SOCKET;
}

bool SocketOffsetProber::open_connection(const std::string& url, const HttpTarget& target,
                                         std::int64_t deadline_ms, std::string& failure,
                                         std::uintptr_t* into) {
  if (!winsock_) {
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
  answer.sent_us = clock_.now_utc_us();
  answer.received_us = answer.sent_us;
  for (std::size_t sent = 0; sent < request.size();) {
    const int n = send(s, request.data() + sent, static_cast<int>(request.size() - sent), 0);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (WSAGetLastError() != WSAEWOULDBLOCK || wait_for(s, true, deadline_ms) <= 0) {
      answer.failure = "the request could not be sent";
      closed_before_answer = true;
      return false;
    }
  }
  char buffer[2048];
  while (head.find("\r\n\r\n") == std::string::npos) {
    const int n = recv(s, buffer, sizeof buffer, 0);
    if (n > 0) {
      if (head.empty()) answer.received_us = clock_.now_utc_us();
      head.append(buffer, static_cast<std::size_t>(n));
      if (head.size() > kMaxAnswerHeadBytes) {
        answer.failure = "the answer's head is too long";
        return false;
      }
      continue;
    }
    if (n == 0) {
      closed_before_answer = head.empty();
      answer.failure = head.empty() ? "the server closed the connection without an answer"
                                    : "the server closed the connection within its answer";
      return false;
    }
    const int ready = WSAGetLastError() == WSAEWOULDBLOCK ? wait_for(s, false, deadline_ms) : -1;
    if (ready == 0) {
      answer.failure =
          (head.empty() ? "no answer within " : "the answer did not end within ") + kTimeLimitText;
      return false;
    }
    if (ready < 0) {
      closed_before_answer = head.empty();
      answer.failure = "the connection failed";
      return false;
    }
  }
  return true;
}

ProbeAnswer SocketOffsetProber::probe(const std::string& url, std::int64_t send_at_us) {
  HttpTarget target;
  if (!split_http_url(url, target)) return fallback_.probe(url, send_at_us);
  ProbeAnswer answer;
  const std::int64_t wait_ms = std::max<std::int64_t>(0, (send_at_us - clock_.now_utc_us()) / 1000);
  const std::int64_t deadline_ms = steady_ms() + wait_ms + kSocketProbeTimeoutMs;

  // A kept connection that has something to read before the request is
  // closed, or the server's end, or bytes of no request's answer: a new one.
  if (url != url_) close_connection();
  for (std::uintptr_t* kept : {&socket_, &spare_}) {
    if (*kept != INVALID_SOCKET && wait_for(static_cast<SOCKET>(*kept), false, steady_ms()) != 0) {
      closesocket(static_cast<SOCKET>(*kept));
      *kept = INVALID_SOCKET;
    }
  }
  if (socket_ == INVALID_SOCKET) std::swap(socket_, spare_);
  bool reused = socket_ != INVALID_SOCKET;
  std::string failure;
  if (!reused && !open_connection(url, target, deadline_ms, failure)) {
    answer.failure = failure;
    answer.sent_us = answer.received_us = clock_.now_utc_us();
    return answer;
  }

  clock_.wait_until_utc_us(send_at_us);
  const std::string request = head_request_text(target);
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
  AnswerHead parsed;
  if (!complete) {
    close_connection();
    return answer;
  }
  if (!parse_answer_head(head, parsed)) {
    answer.failure = "not an HTTP answer";
  } else if (parsed.date.empty()) {
    answer.failure = "no Date header";
  } else {
    take_date_header(parsed.date, answer);
  }
  // Bytes after the head belong to no request of ours: the connection is
  // not used again.
  const bool only_head = head.size() == head.find("\r\n\r\n") + 4;
  if (!parsed.keep_alive || !only_head) {
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

}  // namespace lanchuan::win32
