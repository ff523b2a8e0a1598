// The "offset" and "sync --precise" commands against simulated servers, a
// simulated clock and a clock setter that only records.
#include "programs/cli_offset.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/fake_offset.h"

namespace lanchuan {
namespace {

using fakes::kMs;
using fakes::kSecond;

struct CommandRun {
  int status;
  std::string out;
  std::string err;
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

// The text that follows `label` in `line`, up to the next blank.
std::string word_after(const std::string& line, const std::string& label) {
  const std::size_t at = line.find(label);
  EXPECT_NE(at, std::string::npos) << label << " not in: " << line;
  if (at == std::string::npos) return std::string();
  const std::size_t start = at + label.size();
  return line.substr(start, line.find(' ', start) - start);
}

// The signed number of milliseconds that follows `label` in `line`.
double number_after(const std::string& line, const std::string& label) {
  return std::strtod(word_after(line, label).c_str(), nullptr);
}

class CliOffsetTest : public ::testing::Test {
 protected:
  CliOffsetTest() : network(clock) {}

  fakes::SimServer& server(const std::string& url, std::int64_t offset_ms) {
    fakes::SimServer& s = network.servers[url];
    s.clock_offset_us = offset_ms * kMs;
    return s;
  }

  CommandRun offset(const std::vector<std::string>& args) {
    StringSink out, err;
    OffsetPorts ports{clock, network, local, builtin};
    const int status = run_offset_command(args, ports, out, err);
    return {status, out.str(), err.str()};
  }

  CommandRun sync(const std::vector<std::string>& args) {
    StringSink out, err;
    OffsetPorts ports{clock, network, local, builtin};
    record = RunRecord();
    const int status = run_precise_sync_command(args, ports, out, err, &record);
    return {status, out.str(), err.str()};
  }

  // What the fake clock was last set to, as microseconds since 1970 of the
  // local wall clock.
  std::int64_t set_local_us() const {
    const auto& call = local.set_calls.back();
    DateTime t;
    EXPECT_TRUE(make_date_time(call.parts.year, call.parts.month, call.parts.day, call.parts.hour,
                               call.parts.minute, call.parts.second, t));
    const std::int64_t seconds = std::llround((t.days - 25569.0) * 86400.0);
    return seconds * kSecond + call.milliseconds * kMs;
  }

  fakes::SimClock clock;
  fakes::SimNetwork network;
  fakes::FakePreciseLocalClock local;
  std::vector<std::string> builtin = {"http://s1", "http://s2", "http://s3"};
  RunRecord record;  // the last sync's, for the log
};

TEST_F(CliOffsetTest, OneLinePerServerThenTheCombinedOffset) {
  server("http://a", 2375);
  const CommandRun r = offset({"http://a", "http://down"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.err.empty()) << r.err;
  const std::vector<std::string> out = lines(r.out);
  ASSERT_EQ(out.size(), 3u) << r.out;
  EXPECT_EQ(out[0].rfind("http://a  round trip 40 ms  offset +", 0), 0u) << out[0];
  EXPECT_NE(out[0].find(" ms  (3 of 3 probes, " +
                        std::to_string(network.servers["http://a"].requests - 1) + " requests)"),
            std::string::npos)
      << out[0];
  // Offsets and their uncertainty to a tenth of a millisecond.
  const std::string a_text = word_after(out[0], "offset ");
  const std::string a_uncertainty_text = word_after(out[0], "+/- ");
  EXPECT_EQ(a_text.find('.'), a_text.size() - 2) << out[0];
  EXPECT_EQ(a_uncertainty_text.find('.'), a_uncertainty_text.size() - 2) << out[0];
  const double a_offset = number_after(out[0], "offset ");
  const double a_uncertainty = number_after(out[0], "+/- ");
  EXPECT_LE(std::fabs(a_offset - 2375), a_uncertainty + 0.1);
  EXPECT_LE(a_uncertainty, 33);
  EXPECT_EQ(out[1], "http://down  failed: no answer");
  EXPECT_EQ(out[2], "combined offset: " + a_text + " ms +/- " + a_uncertainty_text +
                        " ms (1 of 2 servers)");
}

TEST_F(CliOffsetTest, NegativeOffsetsCarryTheirSign) {
  server("http://a", -1250);
  const CommandRun r = offset({"http://a"});
  EXPECT_EQ(r.status, 0);
  const double combined = number_after(lines(r.out).back(), "combined offset: ");
  EXPECT_NEAR(combined, -1250, 25);
  EXPECT_NE(r.out.find("offset -12"), std::string::npos) << r.out;
}

TEST_F(CliOffsetTest, TheBuiltInListServesWhenNoUrlIsGiven) {
  server("http://s2", 300);
  const CommandRun r = offset({});
  EXPECT_EQ(r.status, 0);
  const std::vector<std::string> out = lines(r.out);
  ASSERT_EQ(out.size(), 4u) << r.out;
  EXPECT_EQ(out[0], "http://s1  failed: no answer");
  EXPECT_EQ(out[1].rfind("http://s2  round trip", 0), 0u);
  EXPECT_EQ(out[2], "http://s3  failed: no answer");
  EXPECT_NEAR(number_after(out[3], "combined offset: "), 300, 25) << out[3];
}

TEST_F(CliOffsetTest, AServerFarFromTheMedianIsLeftOut) {
  server("http://a", 2375);
  server("http://b", 2380);
  server("http://wrong", 7375);
  const CommandRun r = offset({"http://a", "http://wrong", "http://b"});
  EXPECT_EQ(r.status, 0);
  const std::vector<std::string> out = lines(r.out);
  ASSERT_EQ(out.size(), 5u) << r.out;
  EXPECT_NEAR(number_after(out[3], "http://wrong  left out: "), 4997, 30);
  EXPECT_NE(out[3].find(" ms from the median"), std::string::npos);
  EXPECT_NEAR(number_after(out[4], "combined offset: "), 2377, 25);
  EXPECT_NE(out[4].find("(2 of 3 servers)"), std::string::npos) << out[4];
}

TEST_F(CliOffsetTest, ProbeCountIsAnOption) {
  struct Case {
    std::vector<std::string> args;
    int probes;
  };
  const Case cases[] = {{{"--probes", "2", "http://a"}, 2},
                        {{"http://a", "--probes=0"}, 0},
                        {{"--probes", "10", "http://a"}, 10},
                        {{"http://a"}, 3}};
  for (const Case& c : cases) {
    network.servers.clear();
    server("http://a", 10);
    const CommandRun r = offset(c.args);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string count = std::to_string(c.probes);
    EXPECT_NE(r.out.find("(" + count + " of " + count + " probes, "), std::string::npos) << r.out;
    EXPECT_GE(network.servers["http://a"].requests, c.probes + 1) << c.args[0];
    EXPECT_LE(network.servers["http://a"].requests, c.probes * kMaxRequestsPerProbe + 1);
  }
}

TEST_F(CliOffsetTest, UsageErrorsSendNothing) {
  server("http://a", 0);
  const std::vector<std::string> cases[] = {
      {"--probes", "11", "http://a"}, {"--probes", "x", "http://a"},    {"http://a", "--probes"},
      {"--probes=-1", "http://a"},    {"--probes=", "http://a"},        {"--fast", "http://a"},
      {"--precise", "http://a"},      {"--threshold", "5", "http://a"},  // only sync takes them
  };
  for (const auto& args : cases) {
    const CommandRun r = offset(args);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(r.err.rfind("LanchuanTimeSyncCli: ", 0), 0u) << r.err;
  }
  EXPECT_EQ(network.servers["http://a"].requests, 0);

  builtin.clear();
  EXPECT_EQ(offset({}).status, 2);
}

TEST_F(CliOffsetTest, NoServerAnsweringIsAFailure) {
  const CommandRun r = offset({"http://x", "http://y"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "no time server answered\n");
  EXPECT_EQ(lines(r.out).size(), 2u);
}

TEST_F(CliOffsetTest, ServersSplitEvenlyGiveNoCombinedOffsetAndNoClockChange) {
  server("http://a", 0);
  server("http://b", 3000);
  CommandRun r = offset({"http://a", "http://b"});
  EXPECT_EQ(r.status, 0);  // both answered
  EXPECT_EQ(lines(r.out).back(), "combined offset: none, the servers disagree by a second or more");

  network.servers.clear();
  server("http://a", 0);
  server("http://b", 3000);
  r = sync({"--precise", "http://a", "http://b"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(local.set_calls.empty());
  EXPECT_NE(r.err.find("not set"), std::string::npos) << r.err;
}

// The window's rule: the servers' GMT time + 8 hours is the new local time.
TEST_F(CliOffsetTest, PreciseSyncSetsGmtPlusEightHoursWithMilliseconds) {
  struct Case {
    std::int64_t zone_us;  // the PC's own zone
    long long correction_ms;
  };
  const Case cases[] = {{8LL * 3600 * kSecond, 2375},
                        {0, 8LL * 3600 * 1000 + 2375},
                        {-5LL * 3600 * kSecond, 13LL * 3600 * 1000 + 2375}};
  for (const Case& c : cases) {
    network.servers.clear();
    local.set_calls.clear();
    local.zone_us = c.zone_us;
    server("http://a", 2375);
    // Hours of correction on one server's word: past the step guard.
    const CommandRun r = sync({"--precise", "--max-step", "0", "http://a"});
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(local.set_calls.size(), 1u);
    // The sim clock stands still while the clock is set.
    const std::int64_t expected = clock.now + 2375 * kMs + 8LL * 3600 * kSecond;
    EXPECT_LE(std::llabs(set_local_us() - expected), 25 * kMs);
    const std::string last = lines(r.out).back();
    EXPECT_EQ(last.rfind("clock set to 2026-12-08  13:3", 0), 0u) << last;
    EXPECT_NEAR(number_after(last, "correction "), c.correction_ms, 25) << last;
  }
}

TEST_F(CliOffsetTest, PreciseSyncCrossesMidnightAndTheYear) {
  // PC at 2026-12-31 15:59:59.900 UTC, server 2.375 s ahead: 2027-01-01
  // 00:00:02.275 local, give or take the measurement.
  clock.now = 1798732799900000LL;
  server("http://a", 2375);
  const CommandRun r = sync({"http://a", "--precise"});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto& call = local.set_calls.back();
  EXPECT_EQ(call.parts.year, 2027);
  EXPECT_EQ(call.parts.month, 1);
  EXPECT_EQ(call.parts.day, 1);
  EXPECT_EQ(call.parts.hour, 0);
  EXPECT_EQ(call.parts.day_of_week, 5);  // a Friday
  EXPECT_GE(call.milliseconds, 0);
  EXPECT_LT(call.milliseconds, 1000);
  char text[40];
  std::snprintf(text, sizeof text, "clock set to 2027-01-01  00:00:%02d.%03d", call.parts.second,
                call.milliseconds);
  EXPECT_EQ(lines(r.out).back().rfind(text, 0), 0u) << r.out;
}

TEST_F(CliOffsetTest, PreciseSyncReportsAClockThatRefused) {
  server("http://a", 2375);
  local.set_result = false;
  const CommandRun r = sync({"--precise", "http://a"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(local.set_calls.size(), 1u);
  EXPECT_NE(r.err.find("could not be set (correction +23"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("clock set"), std::string::npos);
}

TEST_F(CliOffsetTest, PreciseSyncWithoutAnswersLeavesTheClockAlone) {
  CommandRun r = sync({"--precise", "http://down"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(local.set_calls.empty());
  r = sync({"--precise", "--probes", "12"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(local.set_calls.empty());
}

TEST_F(CliOffsetTest, PreciseSyncLeavesCorrectionsBelowTheThresholdAlone) {
  server("http://a", 30);
  CommandRun r = sync({"--precise", "--threshold", "50", "http://a"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(local.set_calls.empty());
  EXPECT_EQ(lines(r.out).back().rfind("clock left alone: the correction of +", 0), 0u) << r.out;
  r = sync({"--precise", "--threshold", "10", "http://a"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(local.set_calls.size(), 1u);
  for (const char* bad : {"x", "-1", "3600001", ""}) {
    r = sync({"--precise", "--threshold", bad, "http://a"});
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("--threshold"), std::string::npos) << r.err;
  }
  EXPECT_EQ(sync({"--precise", "http://a", "--threshold"}).status, 2);
  EXPECT_EQ(local.set_calls.size(), 1u);
}

TEST(StepGuard, ABigStepNeedsThreeHostsInAgreement) {
  const struct {
    std::int64_t correction_us;
    int max_step_seconds, hosts;
    bool allowed;
  } cases[] = {
      {1001 * kSecond, 1000, 2, false}, {-1001 * kSecond, 1000, 1, false},
      {1001 * kSecond, 1000, 3, true},  {1000 * kSecond, 1000, 1, true},
      {5 * kSecond, 1000, 0, true},     {-90000 * kSecond, 0, 1, true},
      {6 * kSecond, 5, 2, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(step_allowed(c.correction_us, c.max_step_seconds, c.hosts), c.allowed)
        << c.correction_us << " " << c.max_step_seconds << " " << c.hosts;
  }
}

// 2000 s off: one server, or three URLs on one host, are one witness; three
// hosts, or --max-step 0, set the clock. Hosts are told by the address that
// answered (a voice), else by one spelling of the URL's host; one that failed
// or was left out is none.
TEST_F(CliOffsetTest, PreciseSyncStepsFarOnlyOnThreeHostsWord) {
  for (const char* url :
       {"http://a", "http://A:8080/x", "https://a", "http://s1", "http://s2", "http://s3",
        "http://h.test", "http://h.test.", "https://H.TEST", "http://[::1]", "http://[0:0::1]",
        "http://[0000::0001]:8080", "http://127.0.0.1", "http://[::ffff:127.0.0.1]"}) {
    server(url, 2000 * 1000);
  }
  server("http://s4", 2100 * 1000);  // 100 s from the others: left out
  const struct {
    const char* url;
    const char* voice;
  } voices[] = {{"http://v1", "192.0.2.1"},        {"http://v2", "192.0.2.1"},
                {"http://v3", "192.0.2.2"},        {"http://v4", "2001:db8::1"},
                {"http://localhost", "127.0.0.1"}, {"http://p1", "proxy p:1"},
                {"http://p2", "proxy p:1"},        {"http://p3", "proxy p:1"}};
  for (const auto& v : voices) server(v.url, 2000 * 1000).voice = v.voice;
  const struct {
    std::vector<std::string> args;
    int status;
    const char* says;
  } cases[] = {
      {{"--precise", "http://a"}, kStepRefusedStatus, "; 1 agreed"},
      {{"--precise", "http://a", "http://A:8080/x", "https://a"}, kStepRefusedStatus, "; 1 agreed"},
      {{"--precise", "--max-step", "1999", "http://s1", "http://s2"},
       kStepRefusedStatus,
       "step of +2000.0 s is more than --max-step 1999 s"},
      {{"--precise"}, 0, "clock set to "},
      {{"--precise", "--max-step", "2001", "http://a"}, 0, "clock set to "},
      {{"--precise", "--max-step", "0", "http://a"}, 0, "clock set to "},
      {{"--precise", "--max-step", "1000000000", "http://a"}, 2, "--max-step"},
      {{"--precise", "http://v1", "http://v2", "http://v3"}, kStepRefusedStatus, "; 2 agreed"},
      {{"--precise", "http://v1", "http://v3", "http://v4"}, 0, "clock set to "},
      {{"--precise", "http://p1", "http://p2", "http://p3"}, kStepRefusedStatus, "; 1 agreed"},
      {{"--precise", "http://s1", "http://s2", "http://down"}, kStepRefusedStatus, "; 2 agreed"},
      {{"--precise", "http://s1", "http://s2", "http://s4"}, kStepRefusedStatus, "; 2 agreed"},
      {{"--precise", "http://h.test", "http://h.test.", "https://H.TEST"},
       kStepRefusedStatus,
       "; 1 agreed"},
      {{"--precise", "http://[::1]", "http://[0:0::1]", "http://[0000::0001]:8080"},
       kStepRefusedStatus,
       "; 1 agreed"},
      {{"--precise", "http://localhost", "http://127.0.0.1", "http://[::ffff:127.0.0.1]"},
       kStepRefusedStatus,
       "; 1 agreed"},
  };
  for (const auto& c : cases) {
    local.set_calls.clear();
    const CommandRun r = sync(c.args);
    EXPECT_EQ(r.status, c.status) << c.says << r.err;
    EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
    EXPECT_EQ(local.set_calls.size(), c.status == 0 ? 1u : 0u) << c.says;
  }
}

// What each run leaves for the log: its outcome, the correction when one was
// worked out, and every server with the one left out marked.
TEST_F(CliOffsetTest, PreciseSyncRecordsItsOutcomeForTheLog) {
  server("http://a", 30);
  server("http://b", 32);
  server("http://far", 3000);
  server("http://wrong", 9000);
  const struct {
    std::vector<std::string> args;
    bool clock_refuses;
    RunOutcome outcome;
    bool has_correction;
  } cases[] = {
      {{"--precise", "http://a", "http://b", "http://wrong", "http://down"},
       false,
       RunOutcome::set,
       true},
      {{"--precise", "--threshold", "50", "http://a"}, false, RunOutcome::under_threshold, true},
      {{"--precise", "--max-step", "2", "http://far"}, false, RunOutcome::step_refused, true},
      {{"--precise", "http://a"}, true, RunOutcome::no_right, true},
      {{"--precise", "http://down"}, false, RunOutcome::no_server, false},
      {{"--precise", "http://a", "http://far"}, false, RunOutcome::disagreement, false},
  };
  for (const auto& c : cases) {
    local.set_result = !c.clock_refuses;
    sync(c.args);
    EXPECT_TRUE(record.ran);
    EXPECT_EQ(c.outcome, record.outcome) << c.args.back();
    EXPECT_EQ(c.has_correction, record.has_correction) << c.args.back();
  }
  sync({"--precise", "--threshold", "50", "http://a", "http://b", "http://wrong", "http://down"});
  ASSERT_EQ(4u, record.servers.size());
  EXPECT_NEAR(30, record.servers[0].offset_us / 1000.0, 5);
  EXPECT_FALSE(record.servers[1].left_out);
  EXPECT_TRUE(record.servers[2].left_out);
  sync({"--precise", "--probes", "12"});
  EXPECT_FALSE(record.ran);
}

}  // namespace
}  // namespace lanchuan
