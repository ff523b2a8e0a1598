// The offset probe over the same HTTP request object as the window's time
// query: HEAD to URL + "/123.123", the same time-outs, redirects off.
#pragma once

#include <cstdint>
#include <string>

#include "timesync/offset.h"
#include "timesync/proxy.h"
#include "timesync/time_query.h"

namespace lanchuan {

// A header as it may be echoed on a console: printable ASCII only, short.
std::string printable(const std::string& text);

// Seconds since 1970-01-01 GMT of a Date header; false when it is not one the
// window would accept, or names no real day (such as 31 Nov).
bool server_second_from_date_header(const std::string& header, std::int64_t& seconds);

// Takes a non-empty Date header into `answer`: its second and ok, or the
// failure that names it (tamed for a console).
void take_date_header(const std::string& header, ProbeAnswer& answer);

// An answer with an Age header above 0 came from a cache, which stamped it
// when it had it from the server: no time of that server's. False, with the
// failure that says so, for such an answer.
bool answer_is_fresh(const std::string& age_header, ProbeAnswer& answer);

// The window's time query (GMT + 8 hours + the round trip's whole seconds)
// over one request of an offset prober, sent at once: the companion's query
// and sync through a proxy, which the request object cannot be told to use
// everywhere (Wine ignores it). The prober's failure is kept.
// The round trip is timed on `ticks`, as the window times it, not on the
// clock's readings in the answer: the clock may be set while the request is
// on its way, and a span between two of its readings may then be anything,
// even below zero.
class ProbeTimeQuery : public TimeQuery {
 public:
  ProbeTimeQuery(OffsetProber& prober, HighResClock& clock, TickCounter& ticks)
      : prober_(prober), clock_(clock), ticks_(ticks) {}
  bool query_server_time(const std::string& url, DateTime& server_time) override;
  std::string failure() const override { return failure_; }

 private:
  OffsetProber& prober_;
  HighResClock& clock_;
  TickCounter& ticks_;
  std::string failure_;
};

// The request object does not tell which address it reached: an answer's
// voice is the proxy's when `proxy` is set, else the URL's host in its one
// spelling (host_voice). Names of one address are then told apart, which
// only the socket prober can avoid.
class HttpOffsetProber : public OffsetProber {
 public:
  HttpOffsetProber(HeadRequestFactory& factory, HighResClock& clock,
                   const HttpProxy* proxy = nullptr)
      : factory_(factory), clock_(clock), proxy_(proxy) {}
  // The request is created and opened first, so that only the sending itself
  // lies between the two clock readings.
  ProbeAnswer probe(const std::string& url, std::int64_t send_at_us) override;

 private:
  HeadRequestFactory& factory_;
  HighResClock& clock_;
  const HttpProxy* proxy_;  // read at each probe: the command line sets it later
};

}  // namespace lanchuan
