// The query command's "--timing" line, which the benchmark reads: where it
// goes, that it leaves the ordinary output alone, and that it measures the
// query itself.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "fakes/fake_system.h"
#include "programs/cli.h"

namespace lanchuan {
namespace {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

class CliTimingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(make_date_time(2026, 12, 8, 13, 36, 15, query.answers["http://a"]));
    ASSERT_TRUE(make_date_time(2026, 12, 8, 13, 36, 5, clock.now));
  }
  CliRun run(const std::vector<std::string>& args) {
    StringSink out, err;
    CliPorts ports{query, clock, network, pump, {"http://s1"}};
    const int status = run_cli(args, ports, out, err);
    return {status, out.str(), err.str()};
  }
  fakes::FakeTimeQuery query;
  fakes::FakeClock clock;
  fakes::FakeNetwork network;
  fakes::FakePump pump;
};

const char* const kPlainAnswer =
    "2026-12-08  13:36:15\n"
    "PC time:    2026-12-08  13:36:05\n"
    "difference: 10 s (server minus PC)\n";

// The milliseconds of "query time: N ms\n" at the end of `out`; -1 when the
// line is missing or malformed.
double timing_ms(const std::string& out) {
  const std::string prefix = "query time: ";
  const std::string::size_type at = out.rfind(prefix);
  if (at == std::string::npos) return -1;
  const std::string line = out.substr(at + prefix.size());
  char* end = nullptr;
  const double ms = std::strtod(line.c_str(), &end);
  return std::string(end) == " ms\n" ? ms : -1;
}

TEST_F(CliTimingTest, TimingLineFollowsTheUnchangedAnswerWhereverTheOptionStands) {
  for (const auto& args : {std::vector<std::string>{"query", "--timing", "http://a"},
                           std::vector<std::string>{"query", "http://a", "--timing"}}) {
    const CliRun r = run(args);
    EXPECT_EQ(0, r.status);
    ASSERT_EQ(0u, r.out.find(kPlainAnswer)) << r.out;
    EXPECT_GE(timing_ms(r.out.substr(std::string(kPlainAnswer).size())), 0.0) << r.out;
    EXPECT_TRUE(r.err.empty());
  }
  EXPECT_EQ((std::vector<std::string>{"http://a", "http://a"}), query.tried);
}

TEST_F(CliTimingTest, WithoutTheOptionThereIsNoTimingLine) {
  const CliRun r = run({"query", "http://a"});
  EXPECT_EQ(kPlainAnswer, r.out);
}

TEST_F(CliTimingTest, FailedQueryStillReportsItsDurationAndStatusOne) {
  const CliRun r = run({"query", "--timing", "http://down"});
  EXPECT_EQ(1, r.status);
  EXPECT_GE(timing_ms(r.out), 0.0) << r.out;
  EXPECT_NE(std::string::npos, r.err.find("http://down"));
}

TEST_F(CliTimingTest, MeasuresAtLeastTheTimeTheQueryTook) {
  // A lower bound only: the sleep guarantees it, however slow the machine.
  query.on_query = [](const std::string&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  };
  const CliRun r = run({"query", "--timing", "http://a"});
  EXPECT_GE(timing_ms(r.out), 30.0) << r.out;
}

TEST_F(CliTimingTest, TheOptionIsNoUrlAndStaysOutOfTheHelp) {
  const struct {
    std::vector<std::string> args;
  } usage_errors[] = {
      {{"query", "--timing"}},
      {{"query", "--timing", "http://a", "http://b"}},
  };
  for (const auto& c : usage_errors) {
    const CliRun r = run(c.args);
    EXPECT_EQ(2, r.status);
    EXPECT_NE(std::string::npos, r.err.find("query")) << r.err;
  }
  EXPECT_TRUE(query.tried.empty());
  EXPECT_EQ(std::string::npos, run({"--help"}).out.find("--timing"));
}

}  // namespace
}  // namespace lanchuan
