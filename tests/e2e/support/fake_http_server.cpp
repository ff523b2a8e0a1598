#include "e2e/support/fake_http_server.h"

// winsock2.h before windows.h, which would bring in the old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>
// (separate block: kept after winsock2.h)
#include <windows.h>

#include <algorithm>
#include <chrono>
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

}  // namespace

std::string http_date_now(int offset_seconds) {
  return http_date_now_shifted_ms(static_cast<long long>(offset_seconds) * 1000);
}

std::string http_date_now_shifted_ms(long long offset_ms) {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  t.QuadPart += offset_ms * 10000LL;
  ft.dwLowDateTime = t.LowPart;
  ft.dwHighDateTime = t.HighPart;
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
    int stamp_shift_ms = r.clock_offset_ms;
    if (r.align_to_second) {
      // Stamp between the middle of a second and 0.7 of it, rounded up to the
      // next second: the client may then take 0.8 s before the time it sets
      // is more than half a second off. The wait is part of the round trip the
      // client measures, so it is kept under 0.8 s: a round trip of a whole
      // second would add one to the time it sets.
      SYSTEMTIME st;
      const DWORD start = GetTickCount();
      do {
        GetSystemTime(&st);
        if (st.wMilliseconds >= 500 && st.wMilliseconds < 700) break;
        Sleep(1);
      } while (GetTickCount() - start < 1500);
      stamp_shift_ms += 500;
    }
    std::string response =
        "HTTP/1.1 " + std::to_string(r.status) + " " + reason_phrase(r.status) + "\r\n";
    if (r.date == FakeResponse::kNowDate) {
      response += "Date: " + http_date_now_shifted_ms(stamp_shift_ms) + "\r\n";
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
    if (r.keep_alive && !head.empty()) return true;
    shutdown(s, SD_SEND);
    sleep_unless_stopping(50, stopping_);
  }
  return false;
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
