// The sub-second offset end to end: LanchuanTimeSyncCli.exe offset and
// sync --precise under Wine, with the real request object and the real clock,
// against fake servers on loopback whose clocks run ahead by a set amount.
// The CLI and these servers read the same machine clock, so the true offset is
// exactly the one configured.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/support/fake_http_server.h"
#include "e2e/support/process.h"

namespace lanchuan::e2e {
namespace {

constexpr long long kToleranceMs = 20;
constexpr long long kClockSlackMs = 3;

FakeResponse ahead_by(int ms) {
  FakeResponse r;
  r.clock_offset_ms = ms;
  return r;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    result.push_back(line);
  }
  return result;
}

// The line of `text` that starts with `prefix` ("" when there is none).
std::string line_starting(const std::string& text, const std::string& prefix) {
  for (const std::string& line : lines(text)) {
    if (line.rfind(prefix, 0) == 0) return line;
  }
  return std::string();
}

// The signed number after `label` in `line`; `found` tells whether it is there.
double number_after(const std::string& line, const std::string& label, bool& found) {
  const std::size_t at = line.find(label);
  found = at != std::string::npos;
  return found ? std::strtod(line.c_str() + at + label.size(), nullptr) : 0;
}

::testing::AssertionResult near_ms(const std::string& line, const std::string& label,
                                   long long expected) {
  bool found = false;
  const double value = number_after(line, label, found);
  if (!found) return ::testing::AssertionFailure() << "no '" << label << "' in: " << line;
  if (std::fabs(value - expected) > kToleranceMs) {
    return ::testing::AssertionFailure() << value << " ms is not within " << kToleranceMs
                                         << " ms of " << expected << ": " << line;
  }
  return ::testing::AssertionSuccess();
}

// "combined offset: +X ms +/- U ms": X lies within U of `expected`, give or
// take the rounding to milliseconds of both clocks.
::testing::AssertionResult within_reported(const std::string& line, long long expected) {
  bool found = false, found_uncertainty = false;
  const double value = number_after(line, "combined offset: ", found);
  const double uncertainty = number_after(line, "+/- ", found_uncertainty);
  if (!found || !found_uncertainty)
    return ::testing::AssertionFailure() << "no offset in: " << line;
  if (std::fabs(value - expected) > uncertainty + kClockSlackMs) {
    return ::testing::AssertionFailure() << expected << " ms is outside " << line;
  }
  return ::testing::AssertionSuccess();
}

TEST(Offset, MeasuresAServerClockAheadByAFractionOfASecond) {
  FakeHttpServer server;
  ASSERT_TRUE(server.listening());
  server.set_response(ahead_by(2375));
  const ProcessResult r = run_cli("offset " + server.url(), 120000);
  ASSERT_EQ(0u, r.exit_code) << r.out << r.err;
  const std::string own = line_starting(r.out, server.url() + "  round trip ");
  EXPECT_TRUE(near_ms(own, "offset ", 2375)) << r.out;
  bool found = false;
  const auto requests = static_cast<long long>(number_after(own, "(3 of 3 probes, ", found));
  EXPECT_TRUE(found) << r.out;
  EXPECT_TRUE(near_ms(line_starting(r.out, "combined offset: "), "combined offset: ", 2375))
      << r.out;
  // The first request and those of three probes, each like the window's
  // query; this server closes each connection, so each has its own, made
  // before it was due. Two stand ready, unused, after the last answer,
  // unless the last probe went as a volley (on connections of its own).
  ASSERT_EQ(static_cast<size_t>(requests + 1), server.request_count());
  EXPECT_GE(server.connection_count(), server.request_count());
  EXPECT_LE(server.connection_count(), server.request_count() + 2);
  for (const std::string& line : server.request_lines()) EXPECT_EQ("HEAD /123.123 HTTP/1.1", line);
}

// A server that keeps the connection answers every request on the first one.
TEST(Offset, KeepsTheConnectionOfAServerThatKeepsItAlive) {
  FakeHttpServer server;
  FakeResponse r = ahead_by(-1437);
  r.keep_alive = true;
  server.set_response(r);
  const ProcessResult run = run_cli("offset " + server.url(), 120000);
  ASSERT_EQ(0u, run.exit_code) << run.out << run.err;
  EXPECT_TRUE(within_reported(line_starting(run.out, "combined offset: "), -1437)) << run.out;
  EXPECT_GE(server.request_count(), 4u);
  EXPECT_EQ(1u, server.connection_count());
  const std::string host = "Host: " + server.url().substr(7) + "\r\n";
  for (const std::string& head : server.requests()) EXPECT_NE(head.find(host), std::string::npos);
}

// Every request ends within its time limit, however slowly a server sends.
TEST(Offset, AServerThatDripsItsAnswerFailsWithinTheTimeLimit) {
  FakeHttpServer server;
  FakeResponse r = ahead_by(0);
  r.trickle_ms = 500;
  server.set_response(r);
  const ProcessResult run = run_cli("offset " + server.url(), 30000);
  EXPECT_EQ(1u, run.exit_code) << run.out << run.err;
  EXPECT_EQ(server.url() + "  failed: the answer did not end within 3 s",
            line_starting(run.out, server.url()))
      << run.out;
}

// A server far away for its window: the last probes go as volleys, each
// request on a connection of its own, so their spacing is not held to a
// round trip; one after the other the window would stay two round trips wide.
TEST(Offset, SendsVolleysToAServerWhoseRoundTripIsLong) {
  FakeHttpServer server;
  FakeResponse r = ahead_by(1234);
  r.delay_ms = 40;
  server.set_response(r);
  const ProcessResult run = run_cli("offset " + server.url(), 120000);
  ASSERT_EQ(0u, run.exit_code) << run.out << run.err;
  const std::string combined = line_starting(run.out, "combined offset: ");
  EXPECT_TRUE(within_reported(combined, 1234)) << run.out;
  bool found = false;
  EXPECT_LT(number_after(combined, " +/- ", found), 35.0) << run.out;
  EXPECT_TRUE(found) << run.out;
}

TEST(Offset, MeasuresAClockBehind) {
  FakeHttpServer server;
  server.set_response(ahead_by(-640));
  const ProcessResult r = run_cli("offset " + server.url(), 120000);
  ASSERT_EQ(0u, r.exit_code) << r.out << r.err;
  EXPECT_TRUE(near_ms(line_starting(r.out, "combined offset: "), "combined offset: ", -640))
      << r.out;
}

// Fewer probes leave a wider window; the truth is still inside it.
TEST(Offset, TakesTheProbeCount) {
  FakeHttpServer server;
  server.set_response(ahead_by(1234));
  const ProcessResult r = run_cli("offset --probes 2 " + server.url(), 120000);
  ASSERT_EQ(0u, r.exit_code) << r.out << r.err;
  EXPECT_TRUE(within_reported(line_starting(r.out, "combined offset: "), 1234)) << r.out;
  EXPECT_NE(r.out.find("(2 of 2 probes, "), std::string::npos) << r.out;
  EXPECT_LE(server.request_count(), 1u + 2 * 9);
}

TEST(Offset, LeavesOutAServerWithAWrongClockAndReportsOneThatIsDown) {
  FakeHttpServer a, b, wrong;
  a.set_response(ahead_by(2375));
  b.set_response(ahead_by(2375));
  wrong.set_response(ahead_by(-4000));
  const std::string down = "http://127.0.0.1:" + std::to_string(refused_port());
  const ProcessResult r = run_cli(
      "offset --probes 5 " + a.url() + " " + wrong.url() + " " + down + " " + b.url(), 180000);
  ASSERT_EQ(0u, r.exit_code) << r.out << r.err;
  EXPECT_FALSE(line_starting(r.out, down + "  failed: ").empty()) << r.out;
  EXPECT_FALSE(line_starting(r.out, wrong.url() + "  left out: ").empty()) << r.out;
  const std::string combined = line_starting(r.out, "combined offset: ");
  EXPECT_TRUE(within_reported(combined, 2375)) << r.out;
  EXPECT_NE(combined.find("(2 of 4 servers)"), std::string::npos) << combined;
}

TEST(Offset, FailsWhenNoServerAnswers) {
  const std::string down = "http://127.0.0.1:" + std::to_string(refused_port());
  const ProcessResult r = run_cli("offset " + down, 60000);
  EXPECT_EQ(1u, r.exit_code) << r.out << r.err;
  EXPECT_EQ(down + "  failed: the connection was refused", line_starting(r.out, down)) << r.out;
  EXPECT_EQ("no time server answered", first_line(r.err));
}

TEST(Offset, RedirectsAreNotFollowed) {
  FakeHttpServer target;
  target.set_response(ahead_by(9000));
  FakeHttpServer server;
  FakeResponse redirect = ahead_by(1500);
  redirect.status = 302;
  redirect.extra_headers = "Location: " + target.url() + "/elsewhere\r\n";
  server.set_response(redirect);
  const ProcessResult r = run_cli("offset --probes 3 " + server.url(), 120000);
  ASSERT_EQ(0u, r.exit_code) << r.out << r.err;
  EXPECT_TRUE(within_reported(line_starting(r.out, "combined offset: "), 1500)) << r.out;
  EXPECT_EQ(0u, target.request_count());
}

// Wine takes a new time within half a second of its own (doing nothing) and
// refuses anything else; the rig runs the CLI in UTC+8, the window's zone, so
// the correction is the offset itself.
TEST(PreciseSync, SetsTheClockWithMilliseconds) {
  FakeHttpServer server;
  server.set_response(ahead_by(230));
  const ProcessResult r = run_cli("sync --precise " + server.url(), 120000);
  ASSERT_EQ(0u, r.exit_code) << r.out << r.err;
  EXPECT_TRUE(near_ms(line_starting(r.out, "combined offset: "), "combined offset: ", 230))
      << r.out;
  const std::string set = line_starting(r.out, "clock set to ");
  EXPECT_TRUE(near_ms(set, ", correction ", 230)) << r.out;
  // "clock set to YYYY-MM-DD  hh:mm:ss.mmm, correction ..."
  ASSERT_GT(set.size(), 37u) << set;
  EXPECT_EQ(".", set.substr(33, 1)) << set;
  EXPECT_EQ(", correction ", set.substr(37, 13)) << set;
}

TEST(PreciseSync, ReportsTheCorrectionTheClockRefused) {
  FakeHttpServer server;
  server.set_response(ahead_by(2375));
  const ProcessResult r = run_cli("sync --precise --probes 4 " + server.url(), 120000);
  EXPECT_EQ(1u, r.exit_code) << r.out << r.err;
  const std::string combined = line_starting(r.out, "combined offset: ");
  EXPECT_TRUE(within_reported(combined, 2375)) << r.out;
  bool found = false;
  // The offset to a tenth, the correction to a whole millisecond.
  EXPECT_LE(std::fabs(number_after(combined, "combined offset: ", found) -
                      number_after(r.err, "(correction ", found)),
            0.5)
      << r.out << r.err;
  EXPECT_TRUE(found) << r.err;
  EXPECT_TRUE(line_starting(r.out, "clock set to ").empty()) << r.out;
}

// +30 ms: the measurement's error on loopback is a few milliseconds, well
// inside both thresholds.
TEST(PreciseSync, ThresholdLeavesASmallCorrectionAlone) {
  FakeHttpServer server;
  server.set_response(ahead_by(30));
  ProcessResult r = run_cli("sync --precise --threshold 50 " + server.url(), 120000);
  ASSERT_EQ(0u, r.exit_code) << r.out << r.err;
  EXPECT_TRUE(near_ms(line_starting(r.out, "clock left alone: "), "correction of ", 30)) << r.out;
  EXPECT_TRUE(line_starting(r.out, "clock set to ").empty()) << r.out;

  r = run_cli("sync --precise --threshold 10 " + server.url(), 120000);
  ASSERT_EQ(0u, r.exit_code) << r.out << r.err;
  EXPECT_TRUE(near_ms(line_starting(r.out, "clock set to "), ", correction ", 30)) << r.out;
}

}  // namespace
}  // namespace lanchuan::e2e
