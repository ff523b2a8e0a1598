// A scriptable HTTP server on loopback, inside the Windows test program. It
// answers every request with the configured response and records the request
// lines it receives.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lanchuan::e2e {

struct FakeResponse {
  int status = 200;
  // The Date header's value; kNowDate for the current GMT time at the moment
  // of answering; empty for no Date header at all.
  std::string date = kNowDate;
  std::string extra_headers;  // full lines, each ending in "\r\n"
  std::string body;
  int delay_ms = 0;                  // before answering
  bool close_without_answer = false;  // read the request, then close
  bool never_answer = false;          // keep the connection open, silent...
  int silent_ms = 60000;              // ...this long, then close it
  // Waits (up to 1.5 s) until the clock is just past a second boundary before
  // stamping kNowDate, so the stamped time is within a few ms of the truth.
  bool align_to_second = false;
  // The server's clock runs this far ahead of the machine's (behind when
  // negative) when it stamps kNowDate.
  int clock_offset_ms = 0;
  // Hostile answers. `raw` replaces the whole answer with these bytes;
  // `trickle_ms` sends the answer one byte at a time with this pause;
  // `reset_after` > 0 sends that many bytes and then resets the connection.
  std::string raw;
  int trickle_ms = 0;
  size_t reset_after = 0;

  static constexpr const char* kNowDate = "<now>";
};

class FakeHttpServer {
 public:
  // Listens on ip:port; port 0 picks a free one.
  explicit FakeHttpServer(const std::string& ip = "127.0.0.1", int port = 0);
  ~FakeHttpServer();
  FakeHttpServer(const FakeHttpServer&) = delete;
  FakeHttpServer& operator=(const FakeHttpServer&) = delete;

  bool listening() const { return listen_socket_ != ~0u; }
  int port() const { return port_; }
  std::string url() const;  // "http://ip:port"
  void set_response(const FakeResponse& response);
  std::vector<std::string> request_lines() const;
  std::vector<std::string> requests() const;  // whole request heads
  size_t request_count() const;

 private:
  void accept_loop();
  void serve(unsigned socket);

  std::string ip_;
  int port_ = 0;
  unsigned listen_socket_ = ~0u;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  FakeResponse response_;
  std::vector<std::string> requests_;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

// The current GMT time in the RFC 1123 form, optionally shifted.
std::string http_date_now(int offset_seconds = 0);
std::string http_date_now_shifted_ms(long long offset_ms);

// A loopback port with nothing listening on it (connections are refused).
int refused_port();

}  // namespace lanchuan::e2e
