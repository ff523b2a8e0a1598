#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "fakes/fake_app.h"

namespace lanchuan {
namespace {

using fakes::FakeApp;
using fakes::SettingsWrite;
using Id = ControlId;

const std::string kSearching = "正在查找时间服务器......";
const std::string kNoServer = "时间服务器连接失败......";

DateTime local(int y, int mo, int d, int h, int mi, int s) {
  DateTime t;
  EXPECT_TRUE(make_date_time(y, mo, d, h, mi, s, t));
  return t;
}

const DateTime kAnswer = local(2026, 12, 8, 13, 36, 15);

std::string exit_text(int seconds) {
  return "校准完成 " + std::to_string(seconds) + " 秒后自动退出";
}

// Each run asks for the network state exactly once.
int runs(const FakeApp& f) { return f.network.checks; }

void click(FakeApp& f, Id option, void (*handler)(App&)) {
  f.controls.set_ticked(option, !f.controls.ticked(option));
  handler(f.app);
}

void start_with_delay(FakeApp& f, const std::string& seconds) {
  f.controls.at(Id::选择框_自动校准).ticked = true;
  f.controls.at(Id::编辑框_延迟秒).text = seconds;
  prepare_countdowns(f.app);
}

void start_with_interval(FakeApp& f, const std::string& seconds) {
  f.controls.at(Id::编辑框_间隔秒).text = seconds;
  click(f, Id::选择框_间隔校时, on_interval_option_clicked);
}

// --- Start-up ---

TEST(PrepareCountdowns, DelayedCountdownRunsOnlyWhenTheOptionIsTicked) {
  for (const bool ticked : {false, true}) {
    FakeApp f;
    f.app.state.delayed_run_done = !ticked;  // the opposite of what must come out
    f.app.state.exit_countdown = -1;
    f.controls.at(Id::选择框_自动校准).ticked = ticked;
    prepare_countdowns(f.app);
    EXPECT_EQ(f.app.state.delayed_run_done, !ticked);
    EXPECT_EQ(f.app.state.exit_countdown, 5);
  }
}

// --- The one-second tick ---

TEST(SecondTick, ShowsThePcTimeAndRedrawsTheClockFace) {
  FakeApp f;
  f.clock.now = local(2026, 3, 4, 5, 6, 7);
  on_second_tick(f.app);
  EXPECT_EQ(f.controls.text(Id::编辑框_系统时间), "2026-03-04  05:06:07");
  EXPECT_EQ(f.canvas.ops.front(), "clear");
  EXPECT_EQ(f.canvas.ops.back(), "present");
  EXPECT_TRUE(f.controls.at(Id::编辑框_服务器时间).text_history.empty());
}

TEST(SecondTick, ShowsAndAdvancesTheServerTimeOnlyWhileValid) {
  FakeApp f;
  f.app.state.server_time = kAnswer;
  on_second_tick(f.app);
  EXPECT_EQ(f.app.state.server_time.days, kAnswer.days);
  EXPECT_TRUE(f.controls.at(Id::编辑框_服务器时间).text_history.empty());

  f.app.state.server_time_valid = true;
  on_second_tick(f.app);
  on_second_tick(f.app);
  EXPECT_EQ(f.controls.at(Id::编辑框_服务器时间).text_history,
            (std::vector<std::string>{"2026-12-08  13:36:15", "2026-12-08  13:36:16"}));
  EXPECT_EQ(format_date_time(f.app.state.server_time), "2026-12-08  13:36:17");
}

// --- The delayed countdown ---

struct DelayCase {
  const char* name;
  std::string text;
  std::vector<std::string> counted;  // the box on each tick before the run
};

std::vector<std::string> count_from(int start) {
  std::vector<std::string> out;
  for (int i = start - 1; i >= 0; --i) out.push_back(std::to_string(i));
  return out;
}

void PrintTo(const DelayCase& c, std::ostream* os) { *os << c.name; }

class DelayedCountdown : public testing::TestWithParam<DelayCase> {};

TEST_P(DelayedCountdown, RunsOnceWhenTheBoxRunsOut) {
  const DelayCase& c = GetParam();
  FakeApp f;
  start_with_delay(f, c.text);
  bool latched_during_run = false;
  f.time_query.on_query = [&](const std::string&) {
    latched_during_run = f.app.state.delayed_run_done;
  };

  int ticks = 0;
  while (runs(f) == 0 && ticks < 200) {
    on_second_tick(f.app);
    ++ticks;
  }
  EXPECT_EQ(ticks, static_cast<int>(c.counted.size()) + 1);
  EXPECT_EQ(f.controls.at(Id::编辑框_延迟秒).text_history, c.counted);
  EXPECT_TRUE(latched_during_run);
  const std::string last = c.counted.empty() ? c.text : c.counted.back();
  EXPECT_EQ(f.controls.text(Id::编辑框_延迟秒), last);

  for (int i = 0; i < 5; ++i) on_second_tick(f.app);
  EXPECT_EQ(runs(f), 1);
  EXPECT_EQ(f.controls.text(Id::编辑框_延迟秒), last);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DelayedCountdown,
    testing::Values(DelayCase{"Zero", "0", {}}, DelayCase{"One", "1", {"0"}},
                    DelayCase{"TwoAndAHalf", "2.5", {"1.5", "0.5"}},
                    DelayCase{"Sixty", "60", count_from(60)},
                    DelayCase{"FullWidthSixty", "６０", count_from(60)},
                    DelayCase{"NotANumber", "abc", {}}, DelayCase{"Negative", "-3", {}},
                    DelayCase{"LeadingNumber", "3x", {"2", "1", "0"}},
                    // Just below 1 has not run out: it counts once more.
                    DelayCase{"JustBelowOne", "0.99999999", {"-1.000000005025e-08"}}),
    [](const testing::TestParamInfo<DelayCase>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(DelayedCountdown, NotPendingWhenTheOptionWasOffAtStart) {
  FakeApp f;
  prepare_countdowns(f.app);
  click(f, Id::选择框_自动校准, on_delayed_option_clicked);  // ticked long after start
  for (int i = 0; i < 100; ++i) on_second_tick(f.app);
  EXPECT_EQ(runs(f), 0);
  EXPECT_EQ(f.controls.text(Id::编辑框_延迟秒), "60");
  EXPECT_TRUE(f.controls.at(Id::编辑框_延迟秒).text_history.empty());
}

TEST(DelayedCountdown, UntickingPausesAndReloadsRetickingResumes) {
  FakeApp f;
  f.settings.put("voru", "秒", "30");
  start_with_delay(f, "30");
  for (int i = 0; i < 3; ++i) on_second_tick(f.app);
  EXPECT_EQ(f.controls.text(Id::编辑框_延迟秒), "27");

  click(f, Id::选择框_自动校准, on_delayed_option_clicked);
  EXPECT_EQ(f.controls.text(Id::编辑框_延迟秒), "30");
  EXPECT_TRUE(f.controls.enabled(Id::编辑框_延迟秒));
  for (int i = 0; i < 3; ++i) on_second_tick(f.app);
  EXPECT_EQ(f.controls.text(Id::编辑框_延迟秒), "30");

  click(f, Id::选择框_自动校准, on_delayed_option_clicked);
  EXPECT_FALSE(f.controls.enabled(Id::编辑框_延迟秒));
  on_second_tick(f.app);
  EXPECT_EQ(f.controls.text(Id::编辑框_延迟秒), "29");
}

// --- The interval countdown ---

TEST(IntervalCountdown, CountsDownRunsWithItsTimerStoppedAndStartsOver) {
  FakeApp f;
  start_with_interval(f, "5");
  EXPECT_EQ(f.settings.writes,
            (std::vector<SettingsWrite>{{"voru", "是否间隔", "是"}, {"voru", "间隔秒", "5"}}));
  EXPECT_FALSE(f.controls.enabled(Id::编辑框_间隔秒));
  EXPECT_EQ(f.controls.timer_period(Id::时钟_间隔校时), 1000);
  EXPECT_EQ(f.controls.at(Id::时钟_间隔校时).timer_starts, 1);

  int period_during_run = -1;
  f.time_query.on_query = [&](const std::string&) {
    period_during_run = f.controls.timer_period(Id::时钟_间隔校时);
  };
  for (int i = 0; i < 5; ++i) on_interval_tick(f.app);
  EXPECT_EQ(f.controls.at(Id::编辑框_间隔秒).text_history,
            (std::vector<std::string>{"4", "3", "2", "1", "0"}));
  EXPECT_EQ(runs(f), 0);

  on_interval_tick(f.app);
  EXPECT_EQ(runs(f), 1);
  EXPECT_EQ(period_during_run, 0);
  EXPECT_EQ(f.controls.timer_period(Id::时钟_间隔校时), 1000);
  EXPECT_EQ(f.controls.at(Id::时钟_间隔校时).timer_starts, 2);
  EXPECT_EQ(f.controls.text(Id::编辑框_间隔秒), "5");

  on_interval_tick(f.app);
  EXPECT_EQ(f.controls.text(Id::编辑框_间隔秒), "4");
}

TEST(IntervalCountdown, ATextThatIsNoNumberRunsOnEveryTick) {
  FakeApp f;
  start_with_interval(f, "abc");
  for (int i = 0; i < 3; ++i) on_interval_tick(f.app);
  EXPECT_EQ(runs(f), 3);
  EXPECT_EQ(f.controls.text(Id::编辑框_间隔秒), "abc");
}

TEST(IntervalCountdown, UntickedDuringItsOwnRunIsNotRearmed) {
  FakeApp f;
  start_with_interval(f, "0");
  f.pump.at_wait[1] = [&] { click(f, Id::选择框_间隔校时, on_interval_option_clicked); };
  on_interval_tick(f.app);
  EXPECT_EQ(runs(f), 1);
  EXPECT_EQ(f.controls.timer_period(Id::时钟_间隔校时), 0);
  EXPECT_TRUE(f.controls.enabled(Id::编辑框_间隔秒));
  EXPECT_EQ(f.controls.text(Id::编辑框_间隔秒), "0");
}

TEST(IntervalOption, UntickingStopsAndUndoesThePartialCount) {
  FakeApp f;
  start_with_interval(f, "20");
  for (int i = 0; i < 7; ++i) on_interval_tick(f.app);
  EXPECT_EQ(f.controls.text(Id::编辑框_间隔秒), "13");
  click(f, Id::选择框_间隔校时, on_interval_option_clicked);
  EXPECT_EQ(f.controls.timer_period(Id::时钟_间隔校时), 0);
  EXPECT_TRUE(f.controls.enabled(Id::编辑框_间隔秒));
  EXPECT_EQ(f.controls.text(Id::编辑框_间隔秒), "20");
  EXPECT_EQ(f.controls.focused(), Id::图形按钮_获取时间);
}

TEST(IntervalOption, TickingStopsTheDelayedCountdownWhereItStood) {
  FakeApp f;
  start_with_delay(f, "60");
  f.controls.at(Id::编辑框_延迟秒).enabled = false;
  f.controls.at(Id::选择框_自动退出).ticked = true;
  for (int i = 0; i < 3; ++i) on_second_tick(f.app);
  click(f, Id::选择框_间隔校时, on_interval_option_clicked);

  EXPECT_FALSE(f.controls.ticked(Id::选择框_自动校准));
  EXPECT_FALSE(f.controls.ticked(Id::选择框_自动退出));
  EXPECT_TRUE(f.controls.enabled(Id::编辑框_延迟秒));
  EXPECT_EQ(f.controls.text(Id::编辑框_延迟秒), "57");
  for (int i = 0; i < 100; ++i) on_second_tick(f.app);
  EXPECT_EQ(f.controls.text(Id::编辑框_延迟秒), "57");
  EXPECT_EQ(runs(f), 0);
}

TEST(IntervalOption, TickingTheExitOrDelayedOptionSwitchesItOff) {
  for (const Id other : {Id::选择框_自动退出, Id::选择框_自动校准}) {
    FakeApp f;
    start_with_interval(f, "20");
    for (int i = 0; i < 7; ++i) on_interval_tick(f.app);
    click(f, other,
          other == Id::选择框_自动退出 ? on_exit_option_clicked : on_delayed_option_clicked);
    EXPECT_FALSE(f.controls.ticked(Id::选择框_间隔校时));
    EXPECT_EQ(f.controls.timer_period(Id::时钟_间隔校时), 0);
    EXPECT_TRUE(f.controls.enabled(Id::编辑框_间隔秒));
    EXPECT_EQ(f.controls.text(Id::编辑框_间隔秒), "20");
    EXPECT_EQ(f.settings.value("voru", "是否间隔"), "否");
    EXPECT_EQ(f.controls.focused(), Id::图形按钮_获取时间);
  }
}

TEST(SwitchIntervalOff, WhenAlreadyOffOnlyEnablesAndWrites) {
  FakeApp f;
  f.controls.at(Id::编辑框_间隔秒).enabled = false;
  f.controls.at(Id::编辑框_间隔秒).text = "9";
  f.app.state.saved_interval_text = "20";
  switch_interval_off(f.app);
  EXPECT_TRUE(f.controls.enabled(Id::编辑框_间隔秒));
  EXPECT_EQ(f.controls.text(Id::编辑框_间隔秒), "9");
  EXPECT_TRUE(f.controls.timer_calls.empty());
  EXPECT_EQ(f.settings.writes, (std::vector<SettingsWrite>{{"voru", "是否间隔", "否"}}));
}

// --- The auto-exit countdown ---

FakeApp& arm_exit(FakeApp& f) {
  f.app.state.server_time = kAnswer;
  f.app.state.server_time_valid = true;
  f.app.state.auto_exit_pending = true;
  f.controls.at(Id::选择框_自动退出).ticked = true;
  return f;
}

TEST(AutoExit, CountsFiveToZeroThenClosesOnTheFollowingTick) {
  FakeApp f;
  arm_exit(f);
  for (int i = 0; i < 6; ++i) on_second_tick(f.app);
  EXPECT_EQ(f.controls.at(Id::编辑框_服务器时间).text_history,
            (std::vector<std::string>{exit_text(5), exit_text(4), exit_text(3), exit_text(2),
                                      exit_text(1), exit_text(0)}));
  EXPECT_EQ(f.window.post_close_count, 0);
  on_second_tick(f.app);
  EXPECT_EQ(f.window.post_close_count, 1);
  EXPECT_EQ(f.controls.at(Id::编辑框_服务器时间).text_history.size(), 6u);
  // The held time runs on through the countdown.
  EXPECT_EQ(format_date_time(f.app.state.server_time), "2026-12-08  13:36:22");
}

TEST(AutoExit, UntickingPausesAndRetickingResumes) {
  FakeApp f;
  arm_exit(f);
  for (int i = 0; i < 3; ++i) on_second_tick(f.app);
  EXPECT_EQ(f.controls.text(Id::编辑框_服务器时间), exit_text(3));
  click(f, Id::选择框_自动退出, on_exit_option_clicked);
  on_second_tick(f.app);
  EXPECT_EQ(f.controls.text(Id::编辑框_服务器时间), "2026-12-08  13:36:18");
  click(f, Id::选择框_自动退出, on_exit_option_clicked);
  on_second_tick(f.app);
  EXPECT_EQ(f.controls.text(Id::编辑框_服务器时间), exit_text(2));
  EXPECT_EQ(f.app.state.exit_countdown, 1);
  EXPECT_TRUE(f.app.state.auto_exit_pending);
}

TEST(AutoExit, NoCountdownWhenTheClockWasSetWithTheOptionOff) {
  FakeApp f;
  arm_exit(f);
  f.app.state.auto_exit_pending = false;
  for (int i = 0; i < 10; ++i) on_second_tick(f.app);
  EXPECT_EQ(f.window.post_close_count, 0);
  EXPECT_EQ(f.controls.text(Id::编辑框_服务器时间), "2026-12-08  13:36:24");
  EXPECT_EQ(f.app.state.exit_countdown, 5);
}

TEST(AutoExit, DelayedRunWithExitOnClosesSevenTicksAfterTheRun) {
  FakeApp f;
  f.settings.put("voru", "是否自动", "是");
  f.settings.put("voru", "自动退出", "是");
  restore_calibration_options(f.app);
  prepare_countdowns(f.app);
  f.time_query.answers["http://s1.test"] = kAnswer;

  int tick = 0;
  int run_tick = 0;
  while (f.window.post_close_count == 0 && tick < 200) {
    on_second_tick(f.app);
    ++tick;
    if (run_tick == 0 && runs(f) == 1) run_tick = tick;
  }
  EXPECT_EQ(run_tick, 61);
  EXPECT_EQ(tick, 68);
  EXPECT_EQ(f.clock.set_calls.size(), 1u);
  const std::vector<std::string>& shown = f.controls.at(Id::编辑框_服务器时间).text_history;
  ASSERT_EQ(shown.size(), 8u);
  EXPECT_EQ(shown[1], "2026-12-08  13:36:15");
  EXPECT_EQ(shown[2], exit_text(5));
  EXPECT_EQ(shown[7], exit_text(0));
}

// --- Ticks and countdowns inside a run's waits ---

TEST(NestedTicks, ATickDuringTheDelayedRunStartsNoSecondRunAndLeavesTheServerTime) {
  for (const bool answers : {false, true}) {
    FakeApp f;
    arm_exit(f);  // an earlier run set the clock with the exit option on
    start_with_delay(f, "0");
    int nested_ticks = 0;
    f.pump.on_every_wait = [&](int) {
      ++nested_ticks;
      on_second_tick(f.app);
    };
    if (answers) f.time_query.answers["http://s7.test"] = local(2027, 1, 1, 0, 0, 0);

    // The tick itself counts the exit message down once before its run starts.
    on_second_tick(f.app);
    EXPECT_EQ(runs(f), 1);
    EXPECT_GT(nested_ticks, 10);
    EXPECT_EQ(format_date_time(f.app.state.server_time),
              answers ? "2027-01-01  00:00:00" : "2026-12-08  13:36:16");
    EXPECT_EQ(f.controls.at(Id::编辑框_服务器时间).text_history,
              (std::vector<std::string>{exit_text(5), kSearching,
                                        answers ? "2027-01-01  00:00:00" : kNoServer}));
    EXPECT_EQ(f.app.state.exit_countdown, 4);
    // The nested ticks keep the PC time and the clock face going.
    EXPECT_EQ(f.controls.at(Id::编辑框_系统时间).text_history.size(),
              static_cast<std::size_t>(nested_ticks + 1));
    EXPECT_EQ(f.canvas.ops.size(), static_cast<std::size_t>(10 * (nested_ticks + 1)));
  }
}

struct NestedCase {
  const char* name;
  bool any_answer;
  bool outer_answers_after_inner;
  bool valid;
  bool set_enabled;
  std::string status;
};

void PrintTo(const NestedCase& c, std::ostream* os) { *os << c.name; }

class NestedIntervalRun : public testing::TestWithParam<NestedCase> {};

// A click-started run whose second wait delivers the interval tick that runs
// out: the inner run goes through completely, then the outer one goes on.
TEST_P(NestedIntervalRun, FinalButtonsMatchTheServerTime) {
  const NestedCase& c = GetParam();
  FakeApp f;
  f.controls.at(Id::选择框_间隔校时).ticked = true;
  f.controls.at(Id::编辑框_间隔秒).enabled = false;
  f.controls.at(Id::编辑框_间隔秒).text = "0";
  f.controls.at(Id::时钟_间隔校时).period = 1000;
  f.app.state.saved_interval_text = "20";
  if (c.any_answer) f.time_query.answers["http://s2.test"] = kAnswer;
  f.time_query.on_query = [&](const std::string&) {
    if (f.time_query.tried.size() == 5 && !c.outer_answers_after_inner) {
      f.time_query.answers.clear();
    }
  };
  f.pump.at_wait[2] = [&] { on_interval_tick(f.app); };

  run_calibration(f.app);

  const std::string s1 = "http://s1.test";
  const std::string s2 = "http://s2.test";
  std::vector<std::string> expected_start = {s1, s1, s1, s2, s1, s2};
  if (!c.any_answer || !c.outer_answers_after_inner) {
    ASSERT_GE(f.time_query.tried.size(), 6u);
    expected_start.resize(4);  // the inner run up to its answer, if any
  }
  EXPECT_EQ(std::vector<std::string>(f.time_query.tried.begin(),
                                     f.time_query.tried.begin() + expected_start.size()),
            expected_start);
  EXPECT_EQ(f.app.state.server_time_valid, c.valid);
  EXPECT_TRUE(f.controls.enabled(Id::图形按钮_获取时间));
  EXPECT_EQ(f.controls.enabled(Id::图形按钮_开始校准), c.set_enabled);
  EXPECT_EQ(f.controls.text(Id::编辑框_服务器时间), c.status);
  EXPECT_EQ(f.controls.text(Id::编辑框_间隔秒), "20");
  EXPECT_EQ(f.controls.timer_period(Id::时钟_间隔校时), 1000);
  EXPECT_EQ(f.controls.at(Id::时钟_间隔校时).timer_starts, 1);
}

INSTANTIATE_TEST_SUITE_P(Outcomes, NestedIntervalRun,
                         testing::Values(NestedCase{"BothAnswer", true, true, true, true,
                                                    "2026-12-08  13:36:15"},
                                         NestedCase{"InnerAnswersOuterDoesNot", true, false, true,
                                                    true, "2026-12-08  13:36:15"},
                                         NestedCase{"NeitherAnswers", false, false, false, false,
                                                    "时间服务器连接失败......"}),
                         [](const testing::TestParamInfo<NestedCase>& param_info) {
                           return std::string(param_info.param.name);
                         });

}  // namespace
}  // namespace lanchuan
