// Scripted stand-ins for the HTTP request object and the tick counter. The
// request writes what it is asked into a log owned by the factory, so a test
// can read it after the query has destroyed the request.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "timesync/time_query.h"

namespace lanchuan::fakes {

struct HttpLog {
  std::vector<std::string> calls;  // "open HEAD <url>", "send", "header Date", "tick"...
  int resolve_ms = -1;
  int connect_ms = -1;
  int send_ms = -1;
  int receive_ms = -1;
  int follow_redirects = -1;  // -1 never set, else 0 or 1
  int deadline_ms = -1;
  bool expire_deadline = false;  // the exchange outlasts its deadline
  std::string age_header;        // the answer's Age header
  int created = 0;
  int alive = 0;
};

class FakeHeadRequest : public HeadRequest {
 public:
  FakeHeadRequest(HttpLog& log, std::string date_header)
      : log_(log), date_(std::move(date_header)) {
    ++log_.created;
    ++log_.alive;
  }
  ~FakeHeadRequest() override { --log_.alive; }

  void set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) override {
    log_.calls.push_back("timeouts");
    log_.resolve_ms = resolve_ms;
    log_.connect_ms = connect_ms;
    log_.send_ms = send_ms;
    log_.receive_ms = receive_ms;
  }
  void set_follow_redirects(bool follow) override {
    log_.calls.push_back("redirects");
    log_.follow_redirects = follow ? 1 : 0;
  }
  void open(const std::string& verb, const std::string& url) override {
    log_.calls.push_back("open " + verb + " " + url);
  }
  bool send(int deadline_ms) override {
    log_.calls.push_back("send");
    log_.deadline_ms = deadline_ms;
    return !log_.expire_deadline;
  }
  std::string response_header(const std::string& name) override {
    log_.calls.push_back("header " + name);
    if (name == "Age") return log_.age_header;
    return name == "Date" ? date_ : std::string();
  }

 private:
  HttpLog& log_;
  std::string date_;
};

// Hands out requests whose Date header is `date_header`; with `missing` set it
// behaves like a system without the request component.
class FakeHeadRequestFactory : public HeadRequestFactory {
 public:
  explicit FakeHeadRequestFactory(std::string date_header = std::string(), bool missing = false)
      : date_(std::move(date_header)), missing_(missing) {}

  std::unique_ptr<HeadRequest> create() override {
    log.calls.push_back("create");
    if (missing_) return nullptr;
    return std::make_unique<FakeHeadRequest>(log, date_);
  }

  HttpLog log;

 private:
  std::string date_;
  bool missing_;
};

// Returns the scripted readings in turn, then repeats the last one. Each
// reading is noted in `log` when one is given, to show where it was taken.
class FakeTickCounter : public TickCounter {
 public:
  explicit FakeTickCounter(std::deque<std::uint32_t> readings, HttpLog* log = nullptr)
      : readings_(std::move(readings)), log_(log) {}

  std::uint32_t tick_ms() override {
    if (log_ != nullptr) log_->calls.push_back("tick");
    ++reads;
    if (readings_.size() > 1) {
      const std::uint32_t value = readings_.front();
      readings_.pop_front();
      return value;
    }
    return readings_.empty() ? 0u : readings_.front();
  }

  int reads = 0;

 private:
  std::deque<std::uint32_t> readings_;
  HttpLog* log_;
};

}  // namespace lanchuan::fakes
