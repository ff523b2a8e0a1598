#include "timesync/offset.h"

#include <algorithm>

namespace lanchuan {
namespace {

std::int64_t ceil_div(std::int64_t a, std::int64_t b) { return -floor_div(-a, b); }

// A server that misses this many requests in a row is given up on: every
// further probe could block for the whole time-outs.
constexpr int kFailuresInARowToStop = 2;

std::int64_t mean(const std::vector<std::int64_t>& values) {
  std::int64_t sum = 0;
  for (std::int64_t v : values) sum += v;
  return floor_div(sum, static_cast<std::int64_t>(values.size()));
}

std::int64_t median(std::vector<std::int64_t> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  if (n % 2 == 1) return values[n / 2];
  return values[n / 2 - 1] + (values[n / 2] - values[n / 2 - 1]) / 2;
}

std::int64_t absolute(std::int64_t v) { return v < 0 ? -v : v; }

}  // namespace

std::int64_t CoarseClockInterpolation::reading(std::int64_t coarse, std::int64_t steady) {
  const std::int64_t estimate = anchor_time_ + (steady - anchor_steady_);
  // The time lies within the tick the coarse clock shows. An estimate two
  // ticks past it is no drift of the counter: the clock was set back.
  const bool start = !anchored_ || estimate >= coarse + 2 * kTickUnits;
  const std::int64_t result = start ? coarse : std::clamp(estimate, coarse, coarse + kTickUnits);
  if (result != estimate || !anchored_) {
    anchored_ = true;
    anchor_time_ = result;
    anchor_steady_ = steady;
  }
  return result;
}

OffsetWindow OffsetWindow::of_answer(const ProbeAnswer& answer) {
  const std::int64_t second_start = answer.server_second * kMicrosPerSecond;
  // Stamped no later than the receipt and no earlier than the sending; the
  // Date header truncates, so the server's clock was somewhere in [S, S + 1).
  return OffsetWindow(second_start - answer.received_us,
                      second_start + kMicrosPerSecond - answer.sent_us);
}

bool OffsetWindow::narrow(const ProbeAnswer& answer) {
  const OffsetWindow other = of_answer(answer);
  const std::int64_t low = std::max(low_, other.low_);
  const std::int64_t high = std::min(high_, other.high_);
  if (low >= high) return false;
  low_ = low;
  high_ = high;
  return true;
}

std::int64_t OffsetWindow::next_send_us(std::int64_t earliest_us,
                                        std::int64_t round_trip_us) const {
  // Arrival at PC time t shows server time t + midpoint; it should be a whole
  // server second N: send = N - midpoint - round_trip / 2, the first N that
  // is not earlier than `earliest_us`.
  const std::int64_t lead = midpoint_us() + round_trip_us / 2;
  const std::int64_t boundary = ceil_div(earliest_us + lead, kMicrosPerSecond);
  return boundary * kMicrosPerSecond - lead;
}

ProbeSweep OffsetWindow::plan_sweep(std::int64_t earliest_us, std::int64_t round_trip_us,
                                    std::int64_t usual_round_trip_us, int parallel) const {
  const std::int64_t width = high_ - low_;
  ProbeSweep sweep;
  const std::int64_t fit = round_trip_us > 0 ? width / round_trip_us - 1 : kMaxRequestsPerProbe;
  sweep.requests = static_cast<int>(std::clamp<std::int64_t>(fit, 1, kMaxRequestsPerProbe));
  // One after the other, the requests would in fact go a usual round trip
  // apart, not the quickest: those that miss their moments are skipped. A
  // volley places more of them where that is fewer than it can send.
  const std::int64_t usual = std::max(usual_round_trip_us, round_trip_us);
  if (parallel > 1 && usual > 0) {
    const std::int64_t one_by_one = width / usual - 1;
    const std::int64_t at_once = std::clamp<std::int64_t>(width / kMinVolleySpacingUs - 1, 1,
                                                          std::min(parallel, kMaxRequestsPerProbe));
    if (one_by_one < at_once) {
      sweep.volley = true;
      sweep.requests = static_cast<int>(at_once);
    }
  }
  sweep.spacing_us = width / (sweep.requests + 1);
  // The server reaches second N at PC time N - offset, somewhere in
  // (N - high, N - low]; request k should arrive (half a round trip after
  // its sending) at N - high + (k + 1) * spacing.
  // The first N at which no more than the first half of the requests would
  // have to go before `earliest_us`: those are left out, the stretch they
  // would have split falls to the first one sent. Waiting a second for them
  // would cost more than it gains.
  const int middle = (sweep.requests - 1) / 2;
  const std::int64_t lead = high_ - (middle + 1) * sweep.spacing_us + round_trip_us / 2;
  sweep.second = ceil_div(earliest_us + lead, kMicrosPerSecond);
  sweep.first_send_us = sweep.second * kMicrosPerSecond - lead - middle * sweep.spacing_us;
  while (sweep.first_send_us < earliest_us) {
    sweep.first_send_us += sweep.spacing_us;
    --sweep.requests;
  }
  return sweep;
}

bool probe_is_late(std::int64_t round_trip_us, std::int64_t first_round_trip_us) {
  return round_trip_us > 2 * first_round_trip_us + 50000;
}

std::vector<ProbeAnswer> OffsetProber::probe_volley(const std::string& url,
                                                    const std::vector<std::int64_t>& send_at_us) {
  std::vector<ProbeAnswer> answers;
  for (std::int64_t t : send_at_us) answers.push_back(probe(url, t));
  return answers;
}

ServerOffset measure_server_offset(const std::string& url, int probes, OffsetProber& prober,
                                   HighResClock& clock) {
  ServerOffset result;
  result.url = url;
  const ProbeAnswer first = prober.probe(url, clock.now_utc_us());
  if (!first.ok) {
    result.failure = first.failure;
    return result;
  }
  result.ok = true;
  result.voice = first.voice;
  result.round_trip_us = first.received_us - first.sent_us;
  OffsetWindow window = OffsetWindow::of_answer(first);
  // The quickest answer so far is the best guess of the path's own delay; the
  // first request may also have waited for name resolution. The median tells
  // how long one usually takes.
  std::int64_t round_trip_estimate = result.round_trip_us;
  std::vector<std::int64_t> round_trips = {result.round_trip_us};
  int failures_in_a_row = 0;

  // Counts one answer in; true when it narrowed the window.
  const auto take = [&](const ProbeAnswer& answer) {
    ++result.requests_sent;
    const std::int64_t round_trip = answer.received_us - answer.sent_us;
    if (!answer.ok || round_trip < 0) {
      ++result.requests_failed;
      ++failures_in_a_row;
      return false;
    }
    failures_in_a_row = 0;
    if (probe_is_late(round_trip, result.round_trip_us)) {
      ++result.requests_late;
      return false;
    }
    if (!window.narrow(answer)) {
      ++result.requests_contradicting;
      return false;
    }
    ++result.requests_counted;
    round_trip_estimate = std::min(round_trip_estimate, round_trip);
    round_trips.push_back(round_trip);
    return true;
  };

  for (int p = 0; p < probes && failures_in_a_row < kFailuresInARowToStop; ++p) {
    const ProbeSweep sweep =
        window.plan_sweep(clock.now_utc_us() + kProbeLeadUs, round_trip_estimate,
                          median(round_trips), prober.parallel_requests(url));
    ++result.probes_sent;
    bool counted = false;
    if (sweep.volley) {
      std::vector<std::int64_t> times;
      for (int k = 0; k < sweep.requests; ++k) times.push_back(sweep.send_us(k));
      for (const ProbeAnswer& answer : prober.probe_volley(url, times)) {
        counted = take(answer) || counted;
      }
    } else {
      for (int k = 0; k < sweep.requests && failures_in_a_row < kFailuresInARowToStop; ++k) {
        // A slow answer may have cost the moments of the next requests: those
        // missed by more than their spacing would tell nothing new.
        const std::int64_t now = clock.now_utc_us();
        while (k < sweep.requests && now > sweep.send_us(k) + sweep.spacing_us) ++k;
        if (k == sweep.requests) break;
        const ProbeAnswer answer = prober.probe(url, sweep.send_us(k));
        counted = take(answer) || counted;
        // Once the server shows the new second, every later request would too.
        if (answer.ok && answer.server_second >= sweep.second) break;
      }
    }
    if (counted) ++result.probes_counted;
  }
  result.offset_us = window.midpoint_us();
  result.uncertainty_us = window.half_width_us();
  return result;
}

CombinedOffset combine_server_offsets(const std::vector<ServerOffset>& servers) {
  CombinedOffset combined;
  combined.used.assign(servers.size(), false);
  std::vector<std::int64_t> offsets;
  for (const ServerOffset& s : servers) {
    if (s.ok) offsets.push_back(s.offset_us);
  }
  combined.servers_answered = static_cast<int>(offsets.size());
  if (offsets.empty()) return combined;
  combined.median_us = median(offsets);

  std::vector<std::int64_t> agreeing, uncertainties;
  for (std::size_t i = 0; i < servers.size(); ++i) {
    const ServerOffset& s = servers[i];
    if (!s.ok || absolute(s.offset_us - combined.median_us) >= kAgreementLimitUs) continue;
    combined.used[i] = true;
    agreeing.push_back(s.offset_us);
    uncertainties.push_back(s.uncertainty_us);
  }
  // Left empty only by an even number of servers split a second or more apart
  // around the median: there is no telling which side is right.
  if (agreeing.empty()) return combined;
  combined.servers_used = static_cast<int>(agreeing.size());
  combined.offset_us = mean(agreeing);
  combined.uncertainty_us = mean(uncertainties);
  return combined;
}

}  // namespace lanchuan
