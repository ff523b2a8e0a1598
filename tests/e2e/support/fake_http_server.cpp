#include "e2e/support/fake_http_server.h"

// winsock2.h before windows.h, which would bring in the old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>
// (separate block: kept after winsock2.h)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>

namespace lanchuan::e2e {
namespace {

struct WinsockInit {
  WinsockInit() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};

void ensure_winsock() { static WinsockInit init; }

const char* reason_phrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

void send_all(SOCKET s, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    const int n = send(s, data.data() + sent, static_cast<int>(data.size() - sent), 0);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
}

// Reads the request head (up to the blank line), at most 10 s.
std::string read_head(SOCKET s, const std::atomic<bool>& stopping) {
  std::string head;
  const DWORD start = GetTickCount();
  while (head.find("\r\n\r\n") == std::string::npos && !stopping &&
         GetTickCount() - start < 10000) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv = {0, 100000};
    if (select(0, &set, nullptr, nullptr, &tv) <= 0) continue;
    char buf[4096];
    const int n = recv(s, buf, sizeof buf, 0);
    if (n <= 0) break;
    head.append(buf, static_cast<size_t>(n));
  }
  return head;
}

void sleep_unless_stopping(int ms, const std::atomic<bool>& stopping) {
  const DWORD start = GetTickCount();
  while (!stopping && GetTickCount() - start < static_cast<DWORD>(ms)) Sleep(5);
}

constexpr std::int64_t kUnitsPerMs = 10000;  // FILETIME counts 100 ns
constexpr std::int64_t kUnitsPerSecond = 1000 * kUnitsPerMs;

std::int64_t filetime_now() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return static_cast<std::int64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
}

// The stamping window. A client reads its tick counter just before it sends;
// the request arrives a0 later and is answered at s with the second nearest
// to s, S + 1 where S is the whole second before s and s - S >= 0.5. The
// client has the answer parsed and sets its clock d after s: to S + 1 plus
// the whole seconds of its round trip (a0 + wait + d). While that round trip
// is under a second, the error is S + 1 - (s + d) = 1 - (s - S) - d: below
// half a second for any d > 0, and above minus half a second while
// d < 1.5 - (s - S), which is half a second or more. A request that comes in
// the second half of a second is answered at once: the round trip stays under
// a second while a0 + d < 1. One that comes at a fraction f < 0.5 waits until
// the middle of its second (0.5 - f): the round trip stays under a second
// while a0 + d < 0.5 + f. Either way the client has about half a second for
// its own part, wherever in a second its request comes.
std::int64_t answer_moment(std::int64_t arrival) {
  const std::int64_t into_second = arrival % kUnitsPerSecond;
  return into_second >= kUnitsPerSecond / 2 ? arrival : arrival - into_second + kUnitsPerSecond / 2;
}

// How late an aligned answer may leave (after answer_moment) before the
// client's half second of room is no longer its own.
constexpr std::int64_t kStampingLateUnits = 100 * kUnitsPerMs;

}  // namespace

std::string http_date_now(int offset_seconds) {
  return http_date_now_shifted_ms(static_cast<long long>(offset_seconds) * 1000);
}

std::string http_date_now_shifted_ms(long long offset_ms) {
  return http_date_at(filetime_now() + offset_ms * kUnitsPerMs);
}

std::string http_date_at(std::int64_t filetime) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(filetime);
  ft.dwHighDateTime = static_cast<DWORD>(filetime >> 32);
  SYSTEMTIME st;
  FileTimeToSystemTime(&ft, &st);
  static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[64];
  snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", days[st.wDayOfWeek], st.wDay,
           months[st.wMonth - 1], st.wYear, st.wHour, st.wMinute, st.wSecond);
  return text;
}

int refused_port() {
  ensure_winsock();
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  int len = sizeof addr;
  getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  closesocket(s);
  return ntohs(addr.sin_port);
}

FakeHttpServer::FakeHttpServer(const std::string& ip, int port) : ip_(ip) {
  ensure_winsock();
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  BOOL reuse = TRUE;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<u_short>(port));
  inet_pton(AF_INET, ip.c_str(), &addr.sin_addr);
  if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(s, 16) != 0) {
    closesocket(s);
    return;
  }
  int len = sizeof addr;
  getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  listen_socket_ = static_cast<unsigned>(s);
  acceptor_ = std::thread([this] { accept_loop(); });
}

FakeHttpServer::~FakeHttpServer() {
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  if (listening()) closesocket(static_cast<SOCKET>(listen_socket_));
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    threads.swap(connections_);
  }
  for (std::thread& t : threads) t.join();
}

std::string FakeHttpServer::url() const { return "http://" + ip_ + ":" + std::to_string(port_); }

void FakeHttpServer::set_response(const FakeResponse& response) {
  std::lock_guard<std::mutex> lock(mutex_);
  response_ = response;
  sequence_.clear();
}

void FakeHttpServer::set_responses(const std::vector<FakeResponse>& responses) {
  std::lock_guard<std::mutex> lock(mutex_);
  sequence_ = responses;
  sequence_start_ = requests_.size();
}

std::vector<unsigned long> FakeHttpServer::request_ticks() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return request_ticks_;
}

std::vector<std::string> FakeHttpServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<std::string> FakeHttpServer::request_lines() const {
  std::vector<std::string> lines;
  for (const std::string& head : requests()) lines.push_back(head.substr(0, head.find("\r\n")));
  return lines;
}

size_t FakeHttpServer::request_count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.size();
}

void FakeHttpServer::accept_loop() {
  const SOCKET ls = static_cast<SOCKET>(listen_socket_);
  while (!stopping_) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(ls, &set);
    timeval tv = {0, 50000};
    if (select(0, &set, nullptr, nullptr, &tv) <= 0) continue;
    SOCKET c = accept(ls, nullptr, nullptr);
    if (c == INVALID_SOCKET) continue;
    ++connections_accepted_;
    std::lock_guard<std::mutex> lock(mutex_);
    connections_.emplace_back([this, c] { serve(static_cast<unsigned>(c)); });
  }
}

void FakeHttpServer::serve(unsigned socket_value) {
  const SOCKET s = static_cast<SOCKET>(socket_value);
  // A kept connection is served until the client closes it (or stops).
  while (serve_one(socket_value)) {
  }
  closesocket(s);
}

bool FakeHttpServer::serve_one(unsigned socket_value) {
  const SOCKET s = static_cast<SOCKET>(socket_value);
  const std::string head = read_head(s, stopping_);
  const std::int64_t arrival = filetime_now();
  FakeResponse r;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!head.empty()) {
      requests_.push_back(head);
      request_ticks_.push_back(GetTickCount());
    }
    r = response_;
    if (!sequence_.empty()) {
      const size_t k = requests_.size() > sequence_start_ ? requests_.size() - sequence_start_ : 1;
      r = sequence_[std::min(sequence_.size(), k) - 1];
    }
  }
  if (r.stream_forever) {
    stream(socket_value, r);
    return false;
  }
  if (r.never_answer) {
    sleep_unless_stopping(r.silent_ms, stopping_);
  } else if (!r.close_without_answer) {
    sleep_unless_stopping(r.delay_ms, stopping_);
    std::int64_t stamp_at = filetime_now();
    std::int64_t aligned_for = 0;  // when the aligned answer should leave
    if (r.align_to_second) {
      aligned_for = answer_moment(arrival);
      for (std::int64_t now = filetime_now(); now < aligned_for && !stopping_;
           now = filetime_now()) {
        Sleep(static_cast<DWORD>((aligned_for - now + kUnitsPerMs - 1) / kUnitsPerMs));
      }
      // The nearest second: the next one from the middle of a second on.
      stamp_at = filetime_now() + kUnitsPerSecond / 2;
    }
    stamp_at += r.clock_offset_ms * kUnitsPerMs;
    std::string response =
        "HTTP/1.1 " + std::to_string(r.status) + " " + reason_phrase(r.status) + "\r\n";
    if (r.date == FakeResponse::kNowDate) {
      response += "Date: " + http_date_at(stamp_at) + "\r\n";
    } else if (!r.date.empty()) {
      response += "Date: " + r.date + "\r\n";
    }
    response += r.extra_headers;
    response += "Content-Length: " + std::to_string(r.body.size()) + "\r\n";
    response += r.keep_alive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    if (head.rfind("HEAD ", 0) != 0) response += r.body;
    if (!r.raw.empty()) response = r.raw;
    if (r.reset_after > 0) {
      send_all(s, response.substr(0, r.reset_after));
      sleep_unless_stopping(100, stopping_);
      linger hard = {1, 0};  // close with RST
      setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
      return false;
    }
    if (r.trickle_ms > 0) {
      for (size_t i = 0; i < response.size() && !stopping_; ++i) {
        send_all(s, response.substr(i, 1));
        sleep_unless_stopping(r.trickle_ms, stopping_);
      }
    } else {
      send_all(s, response);
    }
    if (r.align_to_second) note_stamping(arrival, aligned_for);
    if (r.keep_alive && !head.empty()) return true;
    shutdown(s, SD_SEND);
    sleep_unless_stopping(50, stopping_);
  }
  return false;
}

void FakeHttpServer::note_stamping(std::int64_t arrival, std::int64_t aligned_for) {
  const std::int64_t late = filetime_now() - aligned_for;
  if (late <= kStampingLateUnits) return;
  ++stamping_misses_;
  std::fprintf(stderr,
               "fake server %s: missed its stamping window: a request at .%03ld s of a second "
               "was due an answer at .%03ld s, which left %ld ms late\n",
               url().c_str(), static_cast<long>(arrival % kUnitsPerSecond / kUnitsPerMs),
               static_cast<long>(aligned_for % kUnitsPerSecond / kUnitsPerMs),
               static_cast<long>(late / kUnitsPerMs));
  std::fflush(stderr);
}

void FakeHttpServer::stream(unsigned socket_value, const FakeResponse& r) {
  const SOCKET s = static_cast<SOCKET>(socket_value);
  std::string head =
      "HTTP/1.1 " + std::to_string(r.status) + " " + reason_phrase(r.status) + "\r\n";
  if (r.date == FakeResponse::kNowDate) {
    head += "Date: " + http_date_now_shifted_ms(r.clock_offset_ms) + "\r\n";
  } else if (!r.date.empty()) {
    head += "Date: " + r.date + "\r\n";
  }
  head += r.extra_headers + "Connection: close\r\n\r\n";
  send_all(s, head);
  std::string chunk;
  while (chunk.size() < 16384) chunk += r.body.empty() ? std::string(1024, 'Z') : r.body;
  // Non-blocking, so a client that stops reading without closing cannot hold
  // this thread past the server's end.
  u_long non_blocking = 1;
  ioctlsocket(s, FIONBIO, &non_blocking);
  const DWORD start = GetTickCount();
  while (!stopping_ && GetTickCount() - start < static_cast<DWORD>(r.stream_max_ms)) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv = {0, 100000};
    if (select(0, nullptr, &set, nullptr, &tv) <= 0) continue;
    const int n = send(s, chunk.data(), static_cast<int>(chunk.size()), 0);
    if (n > 0) {
      bytes_streamed_ += static_cast<unsigned long long>(n);
    } else if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
      continue;
    } else {
      ++streams_closed_by_client_;
      return;
    }
  }
}

}  // namespace lanchuan::e2e
