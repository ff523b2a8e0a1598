// Measuring the offset between the PC clock and a web server's clock finer
// than the one second of a Date header.
//
// An answer stamped with server second S, sent at PC time a and received at b,
// bounds the offset (server GMT minus PC UTC) to [S - b, S + 1 - a): the stamp
// was taken somewhere between a and b. That window is one second plus one round
// trip wide. Sending the next request so that it reaches the server just when,
// by the middle of the window, the server's second changes, and seeing which
// second it reports, cuts the window in half (plus half a round trip); a few
// such probes leave about half the round trip. The bounds hold whatever the
// split of the round trip between the two directions, so the result never
// depends on the delays being symmetric; only how fast it narrows does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/datetime.h"

namespace lanchuan {

constexpr std::int64_t kMicrosPerSecond = 1000000;
constexpr int kDefaultOffsetProbes = 7;
constexpr int kMaxOffsetProbes = 10;
// Servers whose offset lies this far from the median or farther are left out.
constexpr std::int64_t kAgreementLimitUs = 500000;

// The PC clock as UTC, finely resolved: microseconds since 1970-01-01 00:00 UTC.
class HighResClock {
 public:
  virtual ~HighResClock() = default;
  virtual std::int64_t now_utc_us() = 0;
  // Returns once now_utc_us() has reached `t_us` (at once when it has).
  virtual void wait_until_utc_us(std::int64_t t_us) = 0;
};

// Reading the PC's own zone and setting its clock to the millisecond.
class PreciseLocalClock {
 public:
  virtual ~PreciseLocalClock() = default;
  // The PC's local wall clock minus UTC, now (its zone and daylight saving).
  virtual std::int64_t local_minus_utc_us() = 0;
  // SetLocalTime with milliseconds; true when the clock took it.
  virtual bool set_local_time(const DateTimeParts& parts, int milliseconds) = 0;
};

// One timed request and what it brought back.
struct ProbeAnswer {
  bool ok = false;
  std::int64_t sent_us = 0;        // clock reading just before the request went out
  std::int64_t received_us = 0;    // clock reading just after the answer came back
  std::int64_t server_second = 0;  // the Date header: seconds since 1970-01-01 GMT
  std::string failure;             // why not ok
};

// Sends HEAD to the server URL + "/123.123" no earlier than `send_at_us`.
class OffsetProber {
 public:
  virtual ~OffsetProber() = default;
  virtual ProbeAnswer probe(const std::string& url, std::int64_t send_at_us) = 0;
};

// The offset's possible values, [low_us, high_us).
class OffsetWindow {
 public:
  // The window of one answer on its own.
  static OffsetWindow of_answer(const ProbeAnswer& answer);

  // Intersects with `answer`'s window. An answer that leaves nothing
  // contradicts what is known already: it is ignored and false is returned.
  bool narrow(const ProbeAnswer& answer);

  // The send time, no earlier than `earliest_us`, at which a request reaches
  // the server (half a round trip later) just as its second changes, if the
  // offset is the window's midpoint.
  std::int64_t next_send_us(std::int64_t earliest_us, std::int64_t round_trip_us) const;

  std::int64_t low_us() const { return low_; }
  std::int64_t high_us() const { return high_; }
  std::int64_t midpoint_us() const { return low_ + (high_ - low_) / 2; }
  std::int64_t half_width_us() const { return (high_ - low_ + 1) / 2; }

 private:
  OffsetWindow(std::int64_t low, std::int64_t high) : low_(low), high_(high) {}
  std::int64_t low_;
  std::int64_t high_;
};

// An answer whose round trip took more than twice the first request's plus
// 50 ms did not reach the server at the chosen moment: it does not count.
bool probe_is_late(std::int64_t round_trip_us, std::int64_t first_round_trip_us);

// Time allowed between deciding a send time and reaching it, for the request
// to be prepared.
constexpr std::int64_t kProbeLeadUs = 50000;

struct ServerOffset {
  std::string url;
  bool ok = false;
  std::string failure;              // when not ok: the first request's failure
  std::int64_t round_trip_us = 0;   // of the first request
  std::int64_t offset_us = 0;       // the window's midpoint
  std::int64_t uncertainty_us = 0;  // its half-width
  int probes_sent = 0;
  int probes_counted = 0;
  int probes_failed = 0;
  int probes_late = 0;
  int probes_contradicting = 0;
};

// One request for the round trip, then `probes` timed ones.
ServerOffset measure_server_offset(const std::string& url, int probes, OffsetProber& prober,
                                   HighResClock& clock);

struct CombinedOffset {
  int servers_answered = 0;
  // Those within kAgreementLimitUs of the median; none when the servers that
  // answered are split a second or more apart with no majority.
  int servers_used = 0;
  std::int64_t median_us = 0;
  std::int64_t offset_us = 0;  // mean of the servers used
  // Mean of their uncertainties: the mean's error is no larger.
  std::int64_t uncertainty_us = 0;
  std::vector<bool> used;  // per server, in the order given
  bool ok() const { return servers_used > 0; }
};

CombinedOffset combine_server_offsets(const std::vector<ServerOffset>& servers);

}  // namespace lanchuan
