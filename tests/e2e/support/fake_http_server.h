// A scriptable HTTP server on loopback, inside the Windows test program. It
// answers every request with the configured response and records the request
// lines it receives.
#pragma once

#include <atomic>
#include <cstdint>
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
  int delay_ms = 0;                   // before answering
  bool keep_alive = false;            // answer with keep-alive and read the next request
  bool close_without_answer = false;  // read the request, then close
  bool never_answer = false;          // keep the connection open, silent...
  int silent_ms = 60000;              // ...this long, then close it
  // Stamps kNowDate with the next whole second, at a moment when the current
  // second is at least half gone: at once when it is, else after waiting (at
  // most half a second) for its middle. A client that adds the whole seconds
  // of its round trip to the stamp and sets its clock to it is then within
  // half a second of the truth (Wine accepts only that) while it takes under
  // half a second from the stamp to the setting, and its round trip, which
  // includes the wait, stays under a whole second while the answer reaches it
  // within about half a second (see answer_moment in the .cpp).
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
  // An endless body: the head (status, Date, extra headers, no Content-Length)
  // and then `body`, or filler when it is empty, again and again until the
  // client closes the connection, the server stops or `stream_max_ms` passes.
  bool stream_forever = false;
  int stream_max_ms = 120000;

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
  // The k-th request from now on gets the k-th of these; the last one
  // answers the rest.
  void set_responses(const std::vector<FakeResponse>& responses);
  std::vector<std::string> request_lines() const;
  std::vector<std::string> requests() const;  // whole request heads
  size_t request_count() const;
  size_t connection_count() const { return connections_accepted_; }
  // GetTickCount() at the arrival of each request, in the order of requests().
  std::vector<unsigned long> request_ticks() const;
  // Endless bodies: bytes handed to the connection, and how many streams
  // ended because the client closed its end (not by time or by the server).
  unsigned long long bytes_streamed() const { return bytes_streamed_; }
  // Answers with align_to_second that left later than their window allows
  // (this thread held up by a busy machine): each also writes a line to
  // standard error. A client's clock setting that failed then says nothing
  // about the client.
  size_t stamping_misses() const { return stamping_misses_; }
  size_t streams_closed_by_client() const { return streams_closed_by_client_; }

 private:
  void accept_loop();
  void serve(unsigned socket);
  bool serve_one(unsigned socket);  // true when the connection stays open
  void stream(unsigned socket, const FakeResponse& response);
  // Counts (and reports) an aligned answer that left too long after its
  // moment.
  void note_stamping(std::int64_t arrival, std::int64_t aligned_for);

  std::string ip_;
  int port_ = 0;
  unsigned listen_socket_ = ~0u;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  FakeResponse response_;
  std::vector<FakeResponse> sequence_;
  size_t sequence_start_ = 0;  // requests before the sequence was set
  std::vector<std::string> requests_;
  std::vector<unsigned long> request_ticks_;
  std::atomic<unsigned long long> bytes_streamed_{0};
  std::atomic<size_t> streams_closed_by_client_{0};
  std::atomic<size_t> connections_accepted_{0};
  std::atomic<size_t> stamping_misses_{0};
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

// The current GMT time in the RFC 1123 form, optionally shifted.
std::string http_date_now(int offset_seconds = 0);
std::string http_date_now_shifted_ms(long long offset_ms);
// The time `filetime` (100 ns units since 1601, UTC) in that form, to the
// whole second below it.
std::string http_date_at(std::int64_t filetime);

// A loopback port with nothing listening on it (connections are refused).
int refused_port();

}  // namespace lanchuan::e2e
