// Asking one time server for its time: HTTP HEAD to URL + "/123.123", the Date
// header, GMT + 8 hours + the whole seconds of the round trip.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/datetime.h"
#include "base/deadlines.h"

namespace lanchuan {

// One HTTP request object. Every call may fail silently: a failed call that
// should return a value returns the empty text. Destruction releases it.
class HeadRequest {
 public:
  virtual ~HeadRequest() = default;
  virtual void set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) = 0;
  virtual void set_follow_redirects(bool follow) = 0;
  virtual void open(const std::string& verb, const std::string& url) = 0;
  // Sends the request and waits for the answer's headers, at most
  // `deadline_ms` in all; false when the exchange did not complete in time or
  // failed (the request is then abandoned).
  virtual bool send(int deadline_ms) = 0;
  virtual std::string response_header(const std::string& name) = 0;
};

// Creates request objects; nullptr when the component is missing.
class HeadRequestFactory {
 public:
  virtual ~HeadRequestFactory() = default;
  virtual std::unique_ptr<HeadRequest> create() = 0;
};

// A 32-bit millisecond counter that wraps around (GetTickCount).
class TickCounter {
 public:
  virtual ~TickCounter() = default;
  virtual std::uint32_t tick_ms() = 0;
};

constexpr const char* kTimeQueryPath = "/123.123";

// The server's GMT time as the window shows it: + 8 hours and the whole
// seconds of the round trip.
DateTime corrected_server_time(const DateTime& gmt, std::uint32_t round_trip_ms);

// The query itself. On success `server_time` receives the corrected local
// time (UTC+8 plus the round trip in whole seconds); on failure, a server that
// did not answer within kTimeQueryDeadlineMs included, it is untouched.
bool query_server_time(HeadRequestFactory& factory, TickCounter& ticks, const std::string& url,
                       DateTime& server_time);

// What the calibration run needs: one query against one URL.
class TimeQuery {
 public:
  virtual ~TimeQuery() = default;
  virtual bool query_server_time(const std::string& url, DateTime& server_time) = 0;
  // Why the last query failed, when the transport can tell; else empty.
  virtual std::string failure() const { return std::string(); }
};

// TimeQuery over a request factory and a tick counter.
class HttpTimeQuery : public TimeQuery {
 public:
  HttpTimeQuery(HeadRequestFactory& factory, TickCounter& ticks)
      : factory_(factory), ticks_(ticks) {}
  bool query_server_time(const std::string& url, DateTime& server_time) override {
    return lanchuan::query_server_time(factory_, ticks_, url, server_time);
  }

 private:
  HeadRequestFactory& factory_;
  TickCounter& ticks_;
};

}  // namespace lanchuan
