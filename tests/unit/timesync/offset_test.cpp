// The timing of a server's second boundary against a simulated clock and
// network, the window arithmetic it rests on, the combination of several
// servers, and the HTTP probe over the scripted request object.
#include "timesync/offset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fakes/fake_http.h"
#include "fakes/fake_offset.h"
#include "timesync/offset_probe.h"
#include "timesync/peer_voice.h"
#include "timesync/proxy.h"
#include "timesync/socket_probe.h"

namespace lanchuan {
namespace {

using fakes::kMs;
using fakes::kSecond;
using fakes::kSimStartUs;
using fakes::SimClock;
using fakes::SimNetwork;
using fakes::SimServer;

constexpr const char* kUrl = "http://time.example";

ProbeAnswer answer(std::int64_t sent, std::int64_t received, std::int64_t second) {
  ProbeAnswer a;
  a.ok = true;
  a.sent_us = sent;
  a.received_us = received;
  a.server_second = second;
  return a;
}

// Runs one measurement against one simulated server.
struct Measured {
  ServerOffset result;
  SimServer server;
};

Measured measure(const SimServer& server, int probes = kDefaultOffsetProbes,
                 std::uint32_t seed = 12345) {
  SimClock clock;
  SimNetwork network(clock, seed);
  network.servers[kUrl] = server;
  Measured m;
  m.result = measure_server_offset(kUrl, probes, network, clock);
  m.server = network.servers[kUrl];
  return m;
}

::testing::AssertionResult holds_truth(const ServerOffset& r, std::int64_t truth) {
  const std::int64_t error = r.offset_us - truth;
  if (error <= r.uncertainty_us && -error <= r.uncertainty_us) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "offset " << r.offset_us << " +/- " << r.uncertainty_us << " misses the true " << truth;
}

TEST(FloorDiv, RoundsTowardMinusInfinity) {
  struct Case {
    std::int64_t a, b, q;
  };
  const Case cases[] = {{7, 2, 3},         {-7, 2, -4},           {-8, 2, -4}, {0, 5, 0},
                        {-1, kSecond, -1}, {kSecond, kSecond, 1}, {7, -2, -4}};
  for (const Case& c : cases) EXPECT_EQ(floor_div(c.a, c.b), c.q) << c.a << "/" << c.b;
}

// Readings of a coarse clock (15.625 ms ticks) and a steady counter, in
// 100 ns units, with what the interpolation makes of each: never a tick's
// value seen late, never less than an earlier reading.
TEST(CoarseClockInterpolation, ReadsBetweenTicksAndNeverGoesBack) {
  constexpr std::int64_t T = 130000000000000000LL;
  constexpr std::int64_t kTick = 156250;
  struct Reading {
    std::int64_t coarse, steady, expected;
  };
  struct Case {
    const char* what;
    std::vector<Reading> readings;
  };
  const Case cases[] = {
      {"a tick first seen 4.4 ms after it is 4.4 ms past it",
       {{T, 0, T}, {T + kTick, 200000, T + 200000}}},
      {"a tick seen after the counter passed it",
       {{T, 0, T}, {T, 170000, T + 160000}, {T + kTick, 171000, T + 161000}}},
      {"a coarse reading older than the one before (its thread was held up)",
       {{T, 0, T}, {T + kTick, kTick, T + kTick}, {T, kTick + 50, T + kTick + 50}}},
  };
  for (const Case& c : cases) {
    CoarseClockInterpolation clock;
    for (std::size_t k = 0; k < c.readings.size(); ++k) {
      const Reading& r = c.readings[k];
      EXPECT_EQ(clock.reading(r.coarse, r.steady), r.expected) << c.what << ", reading " << k;
    }
  }
}

TEST(OffsetWindow, OneAnswerBoundsTheOffsetToOneSecondPlusTheRoundTrip) {
  // Sent at 100.2 s, back at 100.25 s, stamped second 103: the server read
  // 103.x somewhere between the two moments.
  const OffsetWindow w = OffsetWindow::of_answer(answer(100200000, 100250000, 103));
  EXPECT_EQ(w.low_us(), 103000000 - 100250000);
  EXPECT_EQ(w.high_us(), 104000000 - 100200000);
  EXPECT_EQ(w.high_us() - w.low_us(), kSecond + 50 * kMs);
  EXPECT_EQ(w.midpoint_us(), (w.low_us() + w.high_us()) / 2);
  EXPECT_EQ(w.half_width_us(), (kSecond + 50 * kMs) / 2);
}

TEST(OffsetWindow, NarrowingKeepsTheIntersectionAndRefusesContradictions) {
  OffsetWindow w = OffsetWindow::of_answer(answer(0, 40 * kMs, 2));  // [1.96, 3.0)
  // A later answer allowing [2.5 - 0.04, 3.5): the lower end moves up.
  EXPECT_TRUE(w.narrow(answer(500 * kMs, 540 * kMs, 3)));
  EXPECT_EQ(w.low_us(), 2460 * kMs);
  EXPECT_EQ(w.high_us(), 3000 * kMs);
  // One that allows only [4.96, 6.0) cannot be: nothing changes.
  EXPECT_FALSE(w.narrow(answer(0, 40 * kMs, 5)));
  EXPECT_EQ(w.low_us(), 2460 * kMs);
  EXPECT_EQ(w.high_us(), 3000 * kMs);
  EXPECT_TRUE(w.narrow(answer(0, 40 * kMs, 3)));  // [2.96, 4.0)
  EXPECT_EQ(w.low_us(), 2960 * kMs);
  // Windows that only touch leave nothing, the upper end being open.
  EXPECT_FALSE(w.narrow(answer(1000 * kMs, 1000 * kMs, 4)));  // [3.0, 4.0)
  EXPECT_EQ(w.low_us(), 2960 * kMs);
  EXPECT_EQ(w.high_us(), 3000 * kMs);
}

TEST(OffsetWindow, NextSendPutsTheMidpointOnAServerSecondAtArrival) {
  struct Case {
    std::int64_t sent, received, second;  // the window's answer
    std::int64_t earliest, round_trip;
  };
  const Case cases[] = {
      {0, 40 * kMs, 2, 0, 40 * kMs},
      {0, 40 * kMs, 2, 730 * kMs, 40 * kMs},
      {5 * kSecond, 5 * kSecond + 300 * kMs, 1, 6 * kSecond, 300 * kMs},  // offset < 0
      {kSimStartUs, kSimStartUs + 10 * kMs, 1796708176, kSimStartUs + 50 * kMs, 10 * kMs},
  };
  for (const Case& c : cases) {
    const OffsetWindow w = OffsetWindow::of_answer(answer(c.sent, c.received, c.second));
    const std::int64_t send = w.next_send_us(c.earliest, c.round_trip);
    const std::int64_t arrival_server = send + c.round_trip / 2 + w.midpoint_us();
    EXPECT_EQ(floor_div(arrival_server, kSecond) * kSecond, arrival_server) << c.earliest;
    EXPECT_GE(send, c.earliest);
    EXPECT_LT(send, c.earliest + kSecond);  // the first such moment
  }
}

// Requests one after the other go a usual round trip apart; where that places
// fewer than the transport can have on their way at once, a volley goes.
TEST(OffsetWindow, PlansAVolleyWhereRequestsInTurnWouldMissTheirMoments) {
  struct Case {
    std::int64_t usual;
    int parallel;
    bool volley;
    int requests;
  };
  const Case cases[] = {{40 * kMs, 6, false, kMaxRequestsPerProbe},
                        {400 * kMs, 1, false, kMaxRequestsPerProbe},
                        {400 * kMs, 6, true, 6},
                        {400 * kMs, 20, true, kMaxRequestsPerProbe}};
  const OffsetWindow w = OffsetWindow::of_answer(answer(0, 40 * kMs, 2));  // 1040 ms wide
  for (const Case& c : cases) {
    const ProbeSweep sweep = w.plan_sweep(0, 40 * kMs, c.usual, c.parallel);
    EXPECT_EQ(sweep.volley, c.volley) << c.usual << " " << c.parallel;
    EXPECT_EQ(sweep.requests, c.requests) << c.usual << " " << c.parallel;
    EXPECT_EQ(sweep.spacing_us, 1040 * kMs / (c.requests + 1));
    EXPECT_GE(sweep.first_send_us, 0);
  }
}

TEST(ProbeIsLate, WhenMuchLongerThanTheFirstRoundTrip) {
  EXPECT_FALSE(probe_is_late(40 * kMs, 40 * kMs));
  EXPECT_FALSE(probe_is_late(130 * kMs, 40 * kMs));
  EXPECT_TRUE(probe_is_late(131 * kMs, 40 * kMs));
  EXPECT_FALSE(probe_is_late(50 * kMs, 0));
  EXPECT_TRUE(probe_is_late(1500 * kMs, 300 * kMs));
}

// The server's second boundary anywhere within the PC's second, ahead or behind.
TEST(MeasureServerOffset, FindsTheOffsetWhereverTheServerSecondChanges) {
  const std::int64_t offsets[] = {0,
                                  1,
                                  250 * kMs,
                                  499999,
                                  500 * kMs,
                                  999999,
                                  2375 * kMs,
                                  -1,
                                  -500 * kMs,
                                  -3999 * kMs,
                                  -123456,
                                  3600 * kSecond + 123456,
                                  -86400 * kSecond + 7};
  for (std::int64_t truth : offsets) {
    SimServer s;
    s.clock_offset_us = truth;
    const Measured m = measure(s);
    ASSERT_TRUE(m.result.ok) << truth;
    EXPECT_TRUE(holds_truth(m.result, truth));
    EXPECT_EQ(m.result.round_trip_us, 40 * kMs);
    EXPECT_EQ(m.result.probes_sent, 3);
    EXPECT_EQ(m.result.probes_counted, 3);
    EXPECT_EQ(m.result.requests_counted, m.result.requests_sent);
    EXPECT_EQ(m.server.requests, m.result.requests_sent + 1);
    EXPECT_LE(m.result.requests_sent, 3 * kMaxRequestsPerProbe);
    // Requests a round trip apart: a ninth of the second, then a third, then
    // a bisection with 40 ms round trips.
    EXPECT_LE(m.result.uncertainty_us, 33 * kMs) << truth;

    // On loopback three probes come to a millisecond.
    s.up_us = s.down_us = 200;
    const Measured fast = measure(s);
    EXPECT_TRUE(holds_truth(fast.result, truth));
    EXPECT_LE(fast.result.uncertainty_us, 1 * kMs) << truth;
    EXPECT_LE(fast.result.requests_sent, 3 * kMaxRequestsPerProbe);
  }
}

// The requests of a probe arrive spread over the stretch in which the server's
// second may change, and the probe ends with the first that arrives after it.
TEST(MeasureServerOffset, ProbesEndWithTheFirstArrivalInTheNewSecond) {
  SimServer s;
  s.clock_offset_us = 2375 * kMs + 123;
  s.up_us = s.down_us = 200;
  const Measured m = measure(s);
  const std::vector<std::int64_t>& t = m.server.arrivals_server_us;
  ASSERT_EQ(t.size(), static_cast<std::size_t>(m.result.requests_sent + 1));
  // Every arrival but the first: the arrivals that are the first in their
  // second, and how close before it the one before came.
  std::vector<std::int64_t> gaps;
  for (std::size_t k = 2; k < t.size(); ++k) {
    const std::int64_t second = floor_div(t[k], kSecond);
    EXPECT_GE(second, floor_div(t[k - 1], kSecond)) << k;
    if (second > floor_div(t[k - 1], kSecond)) gaps.push_back(t[k] - t[k - 1]);
  }
  // A probe whose requests all came before the change leaves it in its last
  // part; otherwise its change is found between two requests, each nearer.
  EXPECT_GE(gaps.size(), 2u);
  ASSERT_LE(gaps.size(), 4u);  // the first probe may start in the second after the first request
  EXPECT_LE(gaps.back(), 2 * kMs);
}

// At least as fast as halving the window with every probe.
TEST(MeasureServerOffset, EveryProbeNarrowsTheWindowDownToHalfTheRoundTrip) {
  SimServer s;
  s.clock_offset_us = 731 * kMs;
  std::int64_t previous = 0;
  for (int probes = 0; probes <= kMaxOffsetProbes; ++probes) {
    const Measured m = measure(s, probes);
    EXPECT_TRUE(holds_truth(m.result, s.clock_offset_us)) << probes;
    EXPECT_GE(m.server.requests, probes + 1);
    EXPECT_LE(m.server.requests, probes * kMaxRequestsPerProbe + 1);
    const std::int64_t bound = ((1040 * kMs >> probes) + 40 * kMs) / 2 + 1;
    EXPECT_LE(m.result.uncertainty_us, bound) << probes;
    if (probes > 0) {
      EXPECT_LT(m.result.uncertainty_us, previous) << probes;
    }
    previous = m.result.uncertainty_us;
  }
  EXPECT_EQ(measure(s, 0).result.uncertainty_us, 1040 * kMs / 2);
}

// The bounds never assume the two directions take equally long.
TEST(MeasureServerOffset, HoldsTheTruthOnJitteredAndLopsidedPaths) {
  struct Case {
    std::int64_t up, down, jitter;
  };
  const Case paths[] = {{5 * kMs, 80 * kMs, 0},
                        {80 * kMs, 5 * kMs, 0},
                        {10 * kMs, 10 * kMs, 30 * kMs},
                        {1 * kMs, 1 * kMs, 60 * kMs},
                        {150 * kMs, 150 * kMs, 100 * kMs}};
  for (const Case& p : paths) {
    for (std::uint32_t seed : {1u, 7u, 99u, 2024u}) {
      for (std::int64_t truth : {-1700 * kMs, 5 * kMs, 640 * kMs, 2375 * kMs + 17}) {
        SimServer s;
        s.clock_offset_us = truth;
        s.up_us = p.up;
        s.down_us = p.down;
        s.jitter_us = p.jitter;
        const Measured m = measure(s, kDefaultOffsetProbes, seed);
        EXPECT_TRUE(holds_truth(m.result, truth)) << p.up << "/" << p.down << "~" << p.jitter;
        // Off-centre probes halve less: each leaves at most half the window
        // plus the slowest round trip less half the quickest.
        const std::int64_t slowest = p.up + p.down + 2 * p.jitter;
        const std::int64_t fastest = p.up + p.down;
        const int counted = m.result.probes_counted;
        EXPECT_EQ(counted, 3);
        EXPECT_LE(m.result.uncertainty_us,
                  ((kSecond + slowest) >> (counted + 1)) + slowest - fastest / 2 + counted)
            << p.up << "/" << p.down << "~" << p.jitter << " seed " << seed;
      }
    }
  }
}

TEST(MeasureServerOffset, AnAnswerTooLateToCountIsLeftOut) {
  SimServer s;
  s.clock_offset_us = 2375 * kMs;
  s.held[3] = 1500 * kMs;  // the third timed request waits at the server
  const Measured m = measure(s);
  EXPECT_TRUE(holds_truth(m.result, s.clock_offset_us));
  EXPECT_EQ(m.result.probes_sent, 3);
  EXPECT_EQ(m.result.requests_late, 1);
  EXPECT_EQ(m.result.requests_counted, m.result.requests_sent - 1);
  EXPECT_LE(m.result.uncertainty_us, (1040 * kMs / 8 + 40 * kMs) / 2 + 1);
}

TEST(MeasureServerOffset, MissedProbesAreSkippedAndTwoInARowEndTheProbing) {
  SimServer s;
  s.clock_offset_us = 100 * kMs;
  s.dropped = {2};
  Measured m = measure(s);
  EXPECT_TRUE(holds_truth(m.result, s.clock_offset_us));
  EXPECT_EQ(m.result.requests_failed, 1);
  EXPECT_EQ(m.result.requests_counted, m.result.requests_sent - 1);
  EXPECT_EQ(m.result.probes_counted, 3);
  EXPECT_EQ(m.server.requests, m.result.requests_sent + 1);

  s.dropped = {2, 3, 4, 5};
  m = measure(s);
  EXPECT_TRUE(m.result.ok);
  EXPECT_TRUE(holds_truth(m.result, s.clock_offset_us));
  EXPECT_EQ(m.result.requests_failed, 2);
  EXPECT_EQ(m.result.requests_counted, 1);
  EXPECT_EQ(m.server.requests, 4);
}

TEST(MeasureServerOffset, AnAnswerAfterTheTimeOutDoesNotCount) {
  SimServer s;
  s.clock_offset_us = -250 * kMs;
  s.held[5] = 6 * kSecond;
  const Measured m = measure(s);
  EXPECT_TRUE(holds_truth(m.result, s.clock_offset_us));
  EXPECT_EQ(m.result.requests_failed, 1);
  EXPECT_EQ(m.result.requests_late, 0);
  EXPECT_EQ(m.result.requests_counted, m.result.requests_sent - 1);
  // The time-out took the moments of the rest of the probe it began.
  EXPECT_EQ(m.result.probes_counted, 2);
  EXPECT_EQ(m.result.probes_sent, 3);
}

TEST(MeasureServerOffset, AServerThatDoesNotAnswerFirstIsNotProbed) {
  SimServer s;
  s.dropped = {0};
  const Measured m = measure(s);
  EXPECT_FALSE(m.result.ok);
  EXPECT_EQ(m.result.failure, "no answer");
  EXPECT_EQ(m.result.url, kUrl);
  EXPECT_EQ(m.result.probes_sent, 0);
  EXPECT_EQ(m.server.requests, 1);
}

// A clock that jumps while it is measured: answers that cannot be true of
// the window found so far are not believed.
TEST(MeasureServerOffset, AnswersThatContradictTheWindowAreIgnored) {
  SimServer s;
  s.clock_offset_us = 400 * kMs;
  s.clock_steps[4] = 3 * kSecond;
  const Measured m = measure(s);
  EXPECT_TRUE(holds_truth(m.result, 400 * kMs));
  EXPECT_EQ(m.result.requests_counted, 3);
  EXPECT_GE(m.result.requests_contradicting, 1);
  EXPECT_EQ(m.result.requests_contradicting, m.result.requests_sent - 3);
}

// Each request waits for the previous answer; no probe waits a whole second
// more than it must, so three take about three seconds.
TEST(MeasureServerOffset, ProbesWaitForTheirTimeAndNeverGoEarly) {
  for (std::int64_t truth : {900 * kMs, 30 * kMs, -480 * kMs}) {
    SimClock clock;
    SimNetwork network(clock);
    network.servers[kUrl].clock_offset_us = truth;
    const ServerOffset r = measure_server_offset(kUrl, 3, network, clock);
    ASSERT_EQ(clock.waits.size(), static_cast<std::size_t>(r.requests_sent + 1));
    EXPECT_EQ(clock.waits[0], kSimStartUs);  // the first goes at once
    for (std::size_t k = 1; k < clock.waits.size(); ++k) {
      EXPECT_GE(clock.waits[k], clock.waits[k - 1] + 40 * kMs) << k;
      EXPECT_LT(clock.waits[k], clock.waits[k - 1] + 40 * kMs + kProbeLeadUs + kSecond) << k;
    }
    EXPECT_LT(clock.now - kSimStartUs, 3200 * kMs) << truth;
  }
}

ServerOffset server(std::int64_t offset_ms, std::int64_t uncertainty_ms = 10, bool ok = true) {
  ServerOffset s;
  s.ok = ok;
  s.offset_us = offset_ms * kMs;
  s.uncertainty_us = uncertainty_ms * kMs;
  return s;
}

TEST(CombineServerOffsets, AveragesTheServersWithinHalfASecondOfTheMedian) {
  struct Case {
    std::vector<ServerOffset> servers;
    std::int64_t median_ms, offset_ms;
    std::vector<bool> used;
  };
  const Case cases[] = {
      {{server(2375)}, 2375, 2375, {true}},
      {{server(100), server(120), server(5000)}, 120, 110, {true, true, false}},
      {{server(-200), server(100), server(299)}, 100, 66, {true, true, true}},
      // Exactly half a second from the median is out.
      {{server(0), server(500), server(1000)}, 500, 500, {false, true, false}},
      {{server(0), server(499), server(1000)}, 499, 249, {true, true, false}},
      // Even counts: the median lies between the middle two.
      {{server(100), server(300), server(200), server(3000)}, 250, 200, {true, true, true, false}},
      // Failed servers take no part, not even in the median.
      {{server(0, 0, false), server(40), server(60)}, 50, 50, {false, true, true}},
  };
  for (const Case& c : cases) {
    const CombinedOffset r = combine_server_offsets(c.servers);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.median_us, c.median_ms * kMs);
    EXPECT_EQ(r.offset_us / kMs, c.offset_ms);
    EXPECT_EQ(r.used, c.used);
  }
}

TEST(CombineServerOffsets, UncertaintyIsTheMeanOfTheServersUsed) {
  const CombinedOffset r = combine_server_offsets({server(10, 4), server(20, 8), server(9000, 1)});
  EXPECT_EQ(r.servers_used, 2);
  EXPECT_EQ(r.servers_answered, 3);
  EXPECT_EQ(r.uncertainty_us, 6 * kMs);
}

TEST(CombineServerOffsets, NothingWhenNoneAnsweredOrTwoSidesSplitEvenly) {
  CombinedOffset r = combine_server_offsets({server(0, 0, false), server(0, 0, false)});
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.servers_answered, 0);
  EXPECT_FALSE(combine_server_offsets({}).ok());

  r = combine_server_offsets({server(0), server(2000)});
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.servers_answered, 2);
  EXPECT_EQ(r.used, (std::vector<bool>{false, false}));
}

TEST(ServerSecondFromDateHeader, CountsFrom1970Gmt) {
  std::int64_t s = -1;
  EXPECT_TRUE(server_second_from_date_header("Thu, 01 Jan 2009 00:00:00 GMT", s));
  EXPECT_EQ(s, 1230768000);
  EXPECT_TRUE(server_second_from_date_header("Tue, 08 Dec 2026 05:36:14 GMT", s));
  EXPECT_EQ(s, 1796708174);
  EXPECT_TRUE(server_second_from_date_header("Tue, 29 Feb 2028 23:59:59 GMT", s));
  EXPECT_EQ(s, 1835481599);
  s = 7;
  for (const char* bad : {"", "Tue, 08 Dec 2026 05:36:14 UTC", "Wed, 31 Nov 2026 10:00:00 GMT",
                          "Sun, 06 Nov 1994 08:49:37 GMT", "Tue, 08 Dec 2026 25:00:00 GMT"}) {
    EXPECT_FALSE(server_second_from_date_header(bad, s)) << bad;
    EXPECT_EQ(s, 7);
  }
}

TEST(HttpOffsetProber, OpensFirstThenWaitsAndTimesOnlyTheSending) {
  fakes::FakeHeadRequestFactory factory("Tue, 08 Dec 2026 05:36:14 GMT");
  SimClock clock(kSimStartUs, &factory.log.calls);
  HttpOffsetProber prober(factory, clock);
  const ProbeAnswer a = prober.probe(kUrl, kSimStartUs + 300 * kMs);
  ASSERT_TRUE(a.ok) << a.failure;
  EXPECT_EQ(a.server_second, 1796708174);
  EXPECT_EQ(a.sent_us, kSimStartUs + 300 * kMs);
  EXPECT_EQ(clock.waits, (std::vector<std::int64_t>{kSimStartUs + 300 * kMs}));
  const std::vector<std::string> expected = {
      "create",      "timeouts",  "redirects", "open HEAD http://time.example/123.123",
      "wait",        "now",       "send",      "now",
      "header Date", "header Age"};
  EXPECT_EQ(factory.log.calls, expected);
  EXPECT_EQ(factory.log.resolve_ms, 5000);
  EXPECT_EQ(factory.log.connect_ms, 5000);
  EXPECT_EQ(factory.log.send_ms, 10000);
  EXPECT_EQ(factory.log.receive_ms, 5000);
  EXPECT_EQ(factory.log.follow_redirects, 0);
  EXPECT_EQ(factory.log.alive, 0);
}

TEST(HttpOffsetProber, SaysWhyAProbeFailed) {
  struct Case {
    const char* header;
    bool missing;
    const char* failure;
    const char* age = "";
    bool send_fails = false;
  };
  const Case cases[] = {
      {"", true, "the HTTP request object is not available"},
      // (Refused at once: the request object says no more.)
      {"", false, "no answer (the request failed before its deadline)", "", true},
      {"", false, "no answer, or no Date header"},
      {"Tue, 08 Dec 2026 05:36:14 UTC", false,
       "unusable Date header \"Tue, 08 Dec 2026 05:36:14 UTC\""},
      // Whatever a server sends is shown tamed: no control bytes, not too long.
      {"\x1b[2J\r\nX", false, "unusable Date header \"?[2J??X\""},
      {"0123456789012345678901234567890123456789012345678901234567890123456789", false,
       "unusable Date header \"0123456789012345678901234567890123456789012345678901234567890123"
       "...\""},
      {"Tue, 08 Dec 2026 05:36:14 GMT", false, "a cache's answer (Age: 30), not the server's time",
       "30"},
  };
  for (const Case& c : cases) {
    fakes::FakeHeadRequestFactory factory(c.header, c.missing);
    factory.log.age_header = c.age;
    factory.log.expire_deadline = c.send_fails;
    SimClock clock;
    HttpOffsetProber prober(factory, clock);
    const ProbeAnswer a = prober.probe(kUrl, kSimStartUs);
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.failure, c.failure);
    EXPECT_EQ(factory.log.alive, 0);
  }
}

// One text per host: the spellings of a name, and every way to write an
// address, whether from a URL or from the bytes a socket gives.
TEST(PeerVoice, OneTextPerHost) {
  const struct {
    const char* host;
    const char* voice;
  } cases[] = {
      {"H.Test.", "h.test"},
      {"h.test", "h.test"},
      {"127.0.0.1", "127.0.0.1"},
      {"127.000.0.1", "127.000.0.1"},  // no address: a name, as written
      {"0:0::1", "::1"},
      {"0000:0000:0000:0000:0000:0000:0000:0001", "::1"},
      {"::FFFF:7F00:1", "127.0.0.1"},
      {"::ffff:127.0.0.1", "127.0.0.1"},
      {"2001:DB8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},
      {"2001:db8::", "2001:db8::"},
      {"1:0:2:3:4:5:6:7", "1:0:2:3:4:5:6:7"},
      {"::", "::"},
      {"1::2::3", "1::2::3"},
      {"1:2:3:4:5:6:7:8:9", "1:2:3:4:5:6:7:8:9"},
      {"::1.2.3", "::1.2.3"},
  };
  for (const auto& c : cases) EXPECT_EQ(host_voice(c.host), c.voice) << c.host;
  const std::uint8_t loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  EXPECT_EQ(ipv6_text(loopback), "::1");
  EXPECT_EQ(url_voice("https://[0:0::1]:8443/x"), "::1");
}

// The request object cannot tell which address answered: the URL's host,
// or the proxy's voice behind a proxy.
TEST(HttpOffsetProber, AnAnswersVoiceIsTheHostOrTheProxy) {
  fakes::FakeHeadRequestFactory factory("Tue, 08 Dec 2026 05:36:14 GMT");
  SimClock clock;
  HttpProxy proxy;
  HttpOffsetProber prober(factory, clock, &proxy);
  EXPECT_EQ(prober.probe("https://Time.Example.:8443", kSimStartUs).voice, "time.example");
  ASSERT_TRUE(parse_proxy_url("http://P.example:3128", proxy));
  EXPECT_EQ(prober.probe("https://time.example", kSimStartUs).voice, "proxy p.example:3128");
}

// query and sync time the round trip on the tick counter: a wall clock set
// back while the request was out neither adds 49.7 days nor takes a second.
TEST(ProbeTimeQuery, TimesTheRoundTripOnTheTickCounter) {
  const struct {
    std::int64_t wall_step_us;  // the clock's reading on receipt, minus on sending
    std::uint32_t ticks_before, ticks_after;
    int added_seconds;
  } cases[] = {
      {-5 * kSecond, 1000, 1300, 0},
      {-5 * kSecond, 0xFFFFFF00u, 1100, 1},  // the counter wraps
      {+9 * kSecond, 0, 2500, 2},
      {0, 2000, 1000, 0},  // a counter that went back: no round trip
  };
  for (const auto& c : cases) {
    struct SteppingProber : OffsetProber {
      std::int64_t step = 0;
      ProbeAnswer probe(const std::string&, std::int64_t at) override {
        return answer(at, at + step, 1796708174);  // 2026-12-08 05:36:14 GMT
      }
    } prober;
    prober.step = c.wall_step_us;
    SimClock clock;
    fakes::FakeTickCounter ticks({c.ticks_before, c.ticks_after});
    ProbeTimeQuery query(prober, clock, ticks);
    DateTime t;
    ASSERT_TRUE(query.query_server_time(kUrl, t));
    DateTime expected;
    ASSERT_TRUE(make_date_time(2026, 12, 8, 13, 36, 14 + c.added_seconds, expected));
    EXPECT_NEAR(t.days, expected.days, 0.1 / 86400) << c.ticks_after;
  }
}

// The plain-socket probe's request asks caches not to answer for the server;
// an answer's Age (a cache's) is read, and "0" is a fresh one.
TEST(SocketProbeHead, AsksCachesToPassAndReadsTheAge) {
  HttpTarget target;
  EXPECT_FALSE(split_http_url("http://time.example/t\r\nX: y", target));
  EXPECT_FALSE(split_http_url("http://time.example/t HTTP/1.0", target));
  ASSERT_TRUE(split_http_url("http://time.example:8080/t", target));
  EXPECT_EQ(head_request_text(target),
            "HEAD /t/123.123 HTTP/1.1\r\nHost: time.example:8080\r\nConnection: keep-alive\r\n"
            "Cache-Control: no-cache\r\nPragma: no-cache\r\n\r\n");
  const struct {
    const char* head;
    const char* age;
    bool fresh;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nDate: x\r\n\r\n", "", true},
      {"HTTP/1.1 200 OK\r\nage:  0 \r\n\r\n", "0", true},
      {"HTTP/1.1 200 OK\r\nAge: 12\r\nAge: 0\r\n\r\n", "12", false},
      {"HTTP/1.0 200 OK\r\nAGE: soon\r\n\r\n", "soon", false},
  };
  for (const auto& c : cases) {
    AnswerHead parsed;
    ASSERT_TRUE(parse_answer_head(c.head, parsed)) << c.head;
    EXPECT_EQ(parsed.age, c.age) << c.head;
    ProbeAnswer a;
    EXPECT_EQ(answer_is_fresh(parsed.age, a), c.fresh) << c.head;
    EXPECT_EQ(a.failure.empty(), c.fresh) << a.failure;
  }
}

// The proxy as written (with its credentials as sent), the request line it
// is sent, where it comes from when not given, and its refusals.
TEST(HttpProxy, ParsesWritesTheAbsoluteFormAndTellsItsRefusals) {
  const struct {
    const char* text;
    const char* host_port;  // "": not a proxy
    const char* authorization = "";
  } proxies[] = {
      {"http://127.0.0.1:3128", "127.0.0.1:3128", ""},
      {"HTTP://u@proxy.example:8080/", "proxy.example:8080", "Basic dTo="},
      {"http://a%40b:p%3Aw@[::1]:3128", "[::1]:3128", "Basic YUBiOnA6dw=="},
      {"http://proxy.example", ""},
      {"https://p:443", ""},
      {"p:3128", ""},
      {"http://:3128", ""},
      {"http://p:1/x", ""},
      {"http://u:%zz@p:1", ""},
  };
  for (const auto& c : proxies) {
    HttpProxy proxy;
    EXPECT_EQ(parse_proxy_url(c.text, proxy), *c.host_port != '\0') << c.text;
    EXPECT_EQ(proxy.set() ? proxy.host_port() : "", c.host_port);
    EXPECT_EQ(proxy.authorization(), c.authorization);
  }
  HttpProxy proxy;
  HttpTarget target;
  ASSERT_TRUE(parse_proxy_url("http://lan:chuan@p:3128", proxy));
  ASSERT_TRUE(split_http_url("http://time.example:8080/t", target));
  EXPECT_EQ(head_request_text(target, proxy),
            "HEAD http://time.example:8080/t/123.123 HTTP/1.1\r\nHost: time.example:8080\r\n"
            "Proxy-Authorization: Basic bGFuOmNodWFu\r\nConnection: keep-alive\r\n"
            "Cache-Control: no-cache\r\nPragma: no-cache\r\n\r\n");

  static const char* environment[2];  // http_proxy, HTTP_PROXY
  const auto lookup = [](const char* name) { return environment[name[0] == 'H' ? 1 : 0]; };
  environment[0] = "http://a:1";
  environment[1] = "http://b:2";
  EXPECT_EQ(proxy_from_environment(lookup), "http://a:1");
  environment[0] = "";
  EXPECT_EQ(proxy_from_environment(lookup), "http://b:2");

  EXPECT_EQ(proxy_refusal("HTTP/1.0 407 Proxy Authentication Required\r\nDate: x\r\n\r\n"),
            "the proxy refused the request: 407 Proxy Authentication Required");
  EXPECT_EQ(proxy_refusal("HTTP/1.1 504 Gateway\x01Timeout\r\n\r\n"),
            "the proxy refused the request: 504 Gateway?Timeout");
  EXPECT_EQ(proxy_refusal("HTTP/1.1 404 Not Found\r\nDate: x\r\n\r\n"), "");
}

}  // namespace
}  // namespace lanchuan
