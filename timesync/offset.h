// Measuring the offset between the PC clock and a web server's clock finer
// than the one second of a Date header.
//
// An answer stamped with server second S, sent at PC time a and received at b,
// bounds the offset (server GMT minus PC UTC) to [S - b, S + 1 - a): the stamp
// was taken somewhere between a and b. That window is one second plus one round
// trip wide. The server's second changes once a second, at a PC moment the
// window places within its own width; a probe sends a short series of requests
// spread over that stretch, one after the other, until an answer shows the new
// second. The last answer still in the old second and the first in the new one
// leave a window of their spacing plus a round trip. Nine requests make it ten
// times narrower per probe, so three probes (about three seconds) take a second
// down to about a millisecond plus the round trip; where the round trip is long
// against the window, fewer and finally one request per probe (a bisection)
// are sent. The bounds hold whatever the split of the round trip between the
// two directions, so the result never depends on the delays being symmetric;
// only how fast it narrows does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/datetime.h"

namespace lanchuan {

constexpr std::int64_t kMicrosPerSecond = 1000000;
constexpr int kDefaultOffsetProbes = 3;
constexpr int kMaxOffsetProbes = 10;
// Requests at most in one probe (one change of the server's second).
constexpr int kMaxRequestsPerProbe = 9;
// Servers whose offset lies this far from the median or farther are left out.
constexpr std::int64_t kAgreementLimitUs = 500000;
// The step guard's default: a correction of more than this many seconds needs
// several servers in agreement (ntpd's panic threshold).
constexpr int kDefaultMaxStepSeconds = 1000;

// The PC clock as UTC, finely resolved: microseconds since 1970-01-01 00:00 UTC.
class HighResClock {
 public:
  virtual ~HighResClock() = default;
  virtual std::int64_t now_utc_us() = 0;
  // Returns once now_utc_us() has reached `t_us` (at once when it has). A
  // wait measured on a steady clock from its start: setting the clock
  // meanwhile neither stretches nor shortens it.
  virtual void wait_until_utc_us(std::int64_t t_us) = 0;
};

// The coarse system time, which moves in ticks (15.6 ms by default), read
// between its ticks with a steady counter: the PC clock where Windows has no
// finer system time (before Windows 8). Both in 100 ns units; give it the
// readings in the order they were taken. A reading runs on from an earlier
// one by the counter, kept within the tick the coarse time shows: it is never
// less than an earlier reading unless the coarse time went back (the clock
// was set), and a tick first seen late moves it only as far as the tick.
class CoarseClockInterpolation {
 public:
  static constexpr std::int64_t kTickUnits = 160000;  // a tick, with a little to spare
  std::int64_t reading(std::int64_t coarse, std::int64_t steady);

 private:
  bool anchored_ = false;
  std::int64_t anchor_time_ = 0;  // a reading, and the counter's then
  std::int64_t anchor_steady_ = 0;
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
  // Who answered (see peer_voice.h): the address connected to, the proxy's
  // voice through a proxy, the URL's host where the transport cannot tell;
  // empty when it says nothing.
  std::string voice;
};

// Sends HEAD to the server URL + "/123.123" no earlier than `send_at_us`.
// Requests to one URL go one after the other: the next one only after the
// previous has returned.
class OffsetProber {
 public:
  virtual ~OffsetProber() = default;
  virtual ProbeAnswer probe(const std::string& url, std::int64_t send_at_us) = 0;

  // How many requests to one server this transport can have on their way at
  // once (each on a connection of its own); 1 when only one after the other.
  virtual int parallel_requests(const std::string& /*url*/) const { return 1; }

  // A volley: a request at each of `send_at_us` (ascending), none waiting for
  // an earlier one's answer, at most parallel_requests(url) of them; the answers
  // in the same order. Here one after the other, through probe().
  virtual std::vector<ProbeAnswer> probe_volley(const std::string& url,
                                                const std::vector<std::int64_t>& send_at_us);
};

// One probe: `requests` sends, the first at `first_send_us` (no earlier than
// the planned earliest moment), then every `spacing_us`. Their arrivals split
// the stretch of PC time in which the server's clock may reach `second` into
// equal parts. As many requests as fit the window when spaced a round trip
// apart (they go one after the other), one to kMaxRequestsPerProbe; when the
// stretch has begun already, up to half of them are left out rather than
// waiting for the next second.
// Where a usual round trip is too long for that and the transport has
// several connections to the server, the requests go as a volley instead,
// each on its own connection, spaced no closer than kMinVolleySpacingUs.
struct ProbeSweep {
  std::int64_t second = 0;
  std::int64_t first_send_us = 0;
  std::int64_t spacing_us = 0;
  int requests = 1;
  bool volley = false;
  std::int64_t send_us(int k) const { return first_send_us + k * spacing_us; }
};

// Requests of a volley closer than this would be sent late: writing one takes
// tens of microseconds, and under load more.
constexpr std::int64_t kMinVolleySpacingUs = 300;

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

  // The requests of the next probe; see ProbeSweep. `round_trip_us` is the
  // quickest so far, `usual_round_trip_us` their median; `parallel` as
  // OffsetProber::parallel_requests(url).
  ProbeSweep plan_sweep(std::int64_t earliest_us, std::int64_t round_trip_us,
                        std::int64_t usual_round_trip_us = 0, int parallel = 1) const;

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

// Time allowed between deciding a probe's first send time and reaching it,
// for the connection to be prepared.
constexpr std::int64_t kProbeLeadUs = 50000;

struct ServerOffset {
  std::string url;
  bool ok = false;
  std::string failure;              // when not ok: the first request's failure
  std::string voice;                // who gave the first answer, as ProbeAnswer::voice
  std::int64_t round_trip_us = 0;   // of the first request
  std::int64_t offset_us = 0;       // the window's midpoint
  std::int64_t uncertainty_us = 0;  // its half-width
  int probes_sent = 0;
  int probes_counted = 0;  // probes with at least one request counted
  // The timed requests (not the first one), and what became of them.
  int requests_sent = 0;
  int requests_counted = 0;
  int requests_failed = 0;
  int requests_late = 0;
  int requests_contradicting = 0;
};

// One request for the round trip, then `probes` timed probes.
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
