// A simulated PC clock, network and servers for the offset measurement: time
// only moves when something waits or a request travels, so every run is exact
// and repeatable. Each server has its own clock offset, one-way delays with
// optional jitter (a fixed-seed generator), and requests it drops or holds.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "timesync/offset.h"

namespace lanchuan::fakes {

constexpr std::int64_t kMs = 1000;
constexpr std::int64_t kSecond = 1000000;

// The request's receive time-out, roughly: a later answer is none.
constexpr std::int64_t kSimTimeoutUs = 5 * kSecond;

// 2026-12-08 05:36:14.123456 UTC, in microseconds since 1970.
constexpr std::int64_t kSimStartUs = 1796708174123456LL;

class SimClock : public HighResClock {
 public:
  explicit SimClock(std::int64_t start_us = kSimStartUs, std::vector<std::string>* log = nullptr)
      : now(start_us), log_(log) {}

  std::int64_t now_utc_us() override {
    if (log_ != nullptr) log_->push_back("now");
    return now;
  }
  void wait_until_utc_us(std::int64_t t_us) override {
    if (log_ != nullptr) log_->push_back("wait");
    waits.push_back(t_us);
    if (t_us > now) now = t_us;
  }

  std::int64_t now;
  std::vector<std::int64_t> waits;

 private:
  std::vector<std::string>* log_;
};

struct SimServer {
  std::int64_t clock_offset_us = 0;         // its GMT clock minus the PC's UTC clock
  std::int64_t up_us = 20 * kMs;            // PC to server
  std::int64_t down_us = 20 * kMs;          // server to PC
  std::int64_t jitter_us = 0;               // each direction adds 0 to this much more
  std::set<int> dropped;                    // request numbers (0 = first) never answered
  std::map<int, std::int64_t> held;         // request number -> time held before answering
  std::map<int, std::int64_t> clock_steps;  // request number -> clock change from then on
  std::string voice;                        // the address its answers come from ("": untold)

  // Filled in as it is asked.
  int requests = 0;
  std::vector<std::int64_t> arrivals_server_us;  // its own clock when each request arrived
};

// The network and the servers behind it; URLs not in `servers` never answer.
class SimNetwork : public OffsetProber {
 public:
  explicit SimNetwork(SimClock& clock, std::uint32_t seed = 12345) : clock_(clock), rng_(seed) {}

  ProbeAnswer probe(const std::string& url, std::int64_t send_at_us) override {
    clock_.wait_until_utc_us(send_at_us);
    ProbeAnswer answer;
    answer.sent_us = clock_.now;
    auto it = servers.find(url);
    if (it == servers.end() || it->second.dropped.count(it->second.requests) != 0) {
      if (it != servers.end()) ++it->second.requests;
      clock_.now += kSimTimeoutUs;
      answer.received_us = clock_.now;
      answer.failure = "no answer";
      return answer;
    }
    SimServer& s = it->second;
    answer.voice = s.voice;
    const int number = s.requests++;
    auto step = s.clock_steps.find(number);
    if (step != s.clock_steps.end()) s.clock_offset_us += step->second;

    const std::int64_t arrival = answer.sent_us + s.up_us + jitter(s.jitter_us);
    auto hold = s.held.find(number);
    const std::int64_t stamp = arrival + (hold == s.held.end() ? 0 : hold->second);
    s.arrivals_server_us.push_back(arrival + s.clock_offset_us);
    const std::int64_t back = stamp + s.down_us + jitter(s.jitter_us);
    if (back - answer.sent_us > kSimTimeoutUs) {
      clock_.now = answer.sent_us + kSimTimeoutUs;
      answer.received_us = clock_.now;
      answer.failure = "no answer";
      return answer;
    }
    answer.server_second = floor_div(stamp + s.clock_offset_us, kSecond);
    clock_.now = back;
    answer.received_us = clock_.now;
    answer.ok = true;
    return answer;
  }

  std::map<std::string, SimServer> servers;

 private:
  std::int64_t jitter(std::int64_t range) {
    if (range <= 0) return 0;
    rng_ ^= rng_ << 13;
    rng_ ^= rng_ >> 17;
    rng_ ^= rng_ << 5;
    return static_cast<std::int64_t>(rng_ % static_cast<std::uint32_t>(range + 1));
  }

  SimClock& clock_;
  std::uint32_t rng_;
};

// Records what the clock was set to; the PC's zone is settable.
class FakePreciseLocalClock : public PreciseLocalClock {
 public:
  struct SetCall {
    DateTimeParts parts;
    int milliseconds;
  };

  std::int64_t local_minus_utc_us() override { return zone_us; }
  bool set_local_time(const DateTimeParts& parts, int milliseconds) override {
    set_calls.push_back({parts, milliseconds});
    return set_result;
  }

  std::int64_t zone_us = 8LL * 3600 * kSecond;  // UTC+8
  bool set_result = true;
  std::vector<SetCall> set_calls;
};

}  // namespace lanchuan::fakes
