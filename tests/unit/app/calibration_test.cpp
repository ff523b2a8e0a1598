#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "fakes/fake_app.h"

namespace lanchuan {
namespace {

using fakes::FakeApp;
using fakes::PumpCall;
using Id = ControlId;

const std::string kSearching = "正在查找时间服务器......";
const std::string kNoNetwork = "未连接网络......";
const std::string kNoServer = "时间服务器连接失败......";
const std::string kClockSet = "校时完成 ！";
const std::string kClockNotSet =
    "            【时间修改失败】\r\n"
    "1.检查是否有杀毒或防火墙之类的软件禁止了时间的修改！\r\n"
    "2.关闭所有正在运行的软件在试一次！\r\n"
    "3.请检查是否有权限修改本机时间！";

DateTime local(int y, int mo, int d, int h, int mi, int s) {
  DateTime t;
  EXPECT_TRUE(make_date_time(y, mo, d, h, mi, s, t));
  return t;
}

const DateTime kAnswer = local(2026, 12, 8, 13, 36, 15);

// --- Which servers are tried, in which order ---

struct FailoverCase {
  const char* name;
  std::vector<std::string> items;
  std::string combo_text;
  bool failover;
  std::vector<std::string> answering;
  std::vector<std::string> expected_tries;
  std::string expected_combo;
};

void PrintTo(const FailoverCase& c, std::ostream* os) { *os << c.name; }

class Failover : public testing::TestWithParam<FailoverCase> {};

TEST_P(Failover, TriesAndComboText) {
  const FailoverCase& c = GetParam();
  FakeApp f;
  f.controls.set_items(Id::组合框1, c.items);
  f.controls.at(Id::组合框1).text = c.combo_text;
  f.controls.at(Id::选择框_自动尝试下一服务器).ticked = c.failover;
  for (const std::string& url : c.answering) f.time_query.answers[url] = kAnswer;

  // The combo box shows the server being tried at the moment it is asked.
  std::vector<std::string> combo_while_asking;
  f.time_query.on_query = [&](const std::string&) {
    combo_while_asking.push_back(f.controls.text(Id::组合框1));
  };
  run_calibration(f.app);

  EXPECT_EQ(f.time_query.tried, c.expected_tries);
  EXPECT_EQ(combo_while_asking, c.expected_tries);
  EXPECT_EQ(f.controls.text(Id::组合框1), c.expected_combo);
  EXPECT_EQ(f.app.state.server_time_valid,
            !c.answering.empty() && c.expected_tries.back() == c.answering.front());
}

const std::vector<std::string> kAbc = {"http://a.test", "http://b.test", "http://c.test"};

INSTANTIATE_TEST_SUITE_P(
    Orders, Failover,
    testing::Values(
        FailoverCase{"EmptyListGivesOneTry",
                     {},
                     "http://own.test",
                     true,
                     {},
                     {"http://own.test"},
                     "http://own.test"},
        FailoverCase{"EmptyComboTextThenTheList",
                     kAbc,
                     "",
                     true,
                     {},
                     {"", "http://a.test", "http://b.test", "http://c.test"},
                     "http://c.test"},
        FailoverCase{"SecondChosenIsTriedAgainInListOrder",
                     kAbc,
                     "http://b.test",
                     true,
                     {},
                     {"http://b.test", "http://a.test", "http://b.test", "http://c.test"},
                     "http://c.test"},
        FailoverCase{"FailoverOffTriesOnlyTheChosen",
                     kAbc,
                     "http://b.test",
                     false,
                     {},
                     {"http://b.test"},
                     "http://b.test"},
        FailoverCase{"StopsAtTheFirstAnswer",
                     kAbc,
                     "http://b.test",
                     true,
                     {"http://a.test"},
                     {"http://b.test", "http://a.test"},
                     "http://a.test"},
        FailoverCase{"ChosenAnswersAtOnce",
                     kAbc,
                     "http://c.test",
                     true,
                     {"http://c.test"},
                     {"http://c.test"},
                     "http://c.test"},
        FailoverCase{"TypedServerNotInTheList",
                     kAbc,
                     "http://typed.test",
                     true,
                     {"http://c.test"},
                     {"http://typed.test", "http://a.test", "http://b.test", "http://c.test"},
                     "http://c.test"}),
    [](const testing::TestParamInfo<FailoverCase>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(Calibration, EveryServerDownMakesNPlusOneTriesAndEndsOnTheLastItem) {
  FakeApp f;
  const std::vector<std::string> servers = fakes::fake_server_list();
  run_calibration(f.app);
  ASSERT_EQ(f.time_query.tried.size(), servers.size() + 1);
  EXPECT_EQ(f.time_query.tried.front(), servers.front());
  EXPECT_EQ(std::vector<std::string>(f.time_query.tried.begin() + 1, f.time_query.tried.end()),
            servers);
  EXPECT_EQ(f.controls.text(Id::组合框1), servers.back());
  EXPECT_EQ(f.controls.text(Id::编辑框_服务器时间), kNoServer);
  EXPECT_TRUE(f.controls.enabled(Id::图形按钮_获取时间));
  EXPECT_FALSE(f.controls.enabled(Id::图形按钮_开始校准));
  EXPECT_FALSE(f.app.state.server_time_valid);
}

TEST(Calibration, WaitsBeforeEachQueryAndBetweenFailedTries) {
  FakeApp f;
  f.controls.set_items(Id::组合框1, {"http://a.test"});
  f.controls.at(Id::组合框1).text = "http://a.test";
  std::vector<std::size_t> pump_calls_at_query;
  f.time_query.on_query = [&](const std::string&) {
    pump_calls_at_query.push_back(f.pump.calls.size());
  };
  run_calibration(f.app);
  const std::vector<PumpCall> expected = {{true, 1}, {false, 0}, {true, 1},
                                          {true, 1}, {false, 0}, {true, 1}};
  EXPECT_EQ(f.pump.calls, expected);
  EXPECT_EQ(pump_calls_at_query, (std::vector<std::size_t>{1, 4}));
}

TEST(Calibration, FailoverOffWaitsOnlyBeforeTheQuery) {
  FakeApp f;
  f.controls.at(Id::选择框_自动尝试下一服务器).ticked = false;
  run_calibration(f.app);
  EXPECT_EQ(f.pump.calls, (std::vector<PumpCall>{{true, 1}}));
}

// --- Status line and buttons ---

TEST(Calibration, BothButtonsAreDisabledWhileTrying) {
  FakeApp f;
  f.app.state.server_time_valid = true;
  f.controls.at(Id::图形按钮_开始校准).enabled = true;
  f.time_query.answers["http://s3.test"] = kAnswer;
  int queries = 0;
  f.time_query.on_query = [&](const std::string&) {
    ++queries;
    EXPECT_FALSE(f.controls.enabled(Id::图形按钮_获取时间));
    EXPECT_FALSE(f.controls.enabled(Id::图形按钮_开始校准));
    EXPECT_FALSE(f.app.state.server_time_valid);
    EXPECT_EQ(f.controls.text(Id::编辑框_服务器时间), kSearching);
  };
  run_calibration(f.app);
  EXPECT_EQ(queries, 4);
}

TEST(Calibration, SuccessShowsTheTimeAndEnablesBothButtons) {
  FakeApp f;
  f.time_query.answers["http://s1.test"] = kAnswer;
  run_calibration(f.app);
  EXPECT_EQ(f.controls.at(Id::编辑框_服务器时间).text_history,
            (std::vector<std::string>{kSearching, "2026-12-08  13:36:15"}));
  EXPECT_TRUE(f.controls.enabled(Id::图形按钮_获取时间));
  EXPECT_TRUE(f.controls.enabled(Id::图形按钮_开始校准));
  EXPECT_TRUE(f.app.state.server_time_valid);
  EXPECT_EQ(f.app.state.server_time.days, kAnswer.days);
}

TEST(Calibration, FailureAfterASuccessDisablesTheSetButtonAndKeepsTheOldTime) {
  FakeApp f;
  f.time_query.answers["http://s1.test"] = kAnswer;
  run_calibration(f.app);
  f.time_query.answers.clear();
  f.controls.at(Id::选择框_自动尝试下一服务器).ticked = false;
  run_calibration(f.app);
  EXPECT_EQ(f.controls.text(Id::编辑框_服务器时间), kNoServer);
  EXPECT_TRUE(f.controls.enabled(Id::图形按钮_获取时间));
  EXPECT_FALSE(f.controls.enabled(Id::图形按钮_开始校准));
  EXPECT_FALSE(f.app.state.server_time_valid);
  EXPECT_EQ(f.app.state.server_time.days, kAnswer.days);
}

TEST(Calibration, ADateTheClockRefusesStillCountsAsAnAnswer) {
  FakeApp f;
  // Before 1601: the platform refuses to set it.
  f.time_query.answers["http://s1.test"] = local(1600, 1, 1, 8, 0, 0);
  f.controls.at(Id::选择框_自动校准).ticked = true;
  f.clock.set_result = false;
  run_calibration(f.app);
  EXPECT_EQ(f.controls.text(Id::编辑框_服务器时间), "1600-01-01  08:00:00");
  EXPECT_TRUE(f.app.state.server_time_valid);
  ASSERT_EQ(f.balloon.shows.size(), 1u);
  EXPECT_EQ(f.balloon.shows[0].text, kClockNotSet);
}

// --- No network ---

TEST(Calibration, NoNetworkLeavesButtonsAndValidityAndStillRearmsTheInterval) {
  for (const bool earlier_success : {false, true}) {
    FakeApp f;
    f.network.is_connected = false;
    f.app.state.server_time_valid = earlier_success;
    f.controls.at(Id::图形按钮_开始校准).enabled = earlier_success;
    f.controls.at(Id::选择框_间隔校时).ticked = true;
    run_calibration(f.app);
    EXPECT_EQ(f.controls.at(Id::编辑框_服务器时间).text_history,
              (std::vector<std::string>{kSearching, kNoNetwork}));
    EXPECT_EQ(f.pump.calls, (std::vector<PumpCall>{{true, 1000}}));
    EXPECT_TRUE(f.time_query.tried.empty());
    EXPECT_EQ(f.app.state.server_time_valid, earlier_success);
    EXPECT_TRUE(f.controls.enabled(Id::图形按钮_获取时间));
    EXPECT_EQ(f.controls.enabled(Id::图形按钮_开始校准), earlier_success);
    EXPECT_EQ(f.controls.timer_period(Id::时钟_间隔校时), 1000);
    EXPECT_TRUE(f.clock.set_calls.empty());
  }
}

// --- Re-arming the interval timer at the end of every run ---

TEST(Calibration, IntervalTimerIsRearmedAtTheVeryEndOnlyWhenTicked) {
  struct Case {
    bool ticked;
    int period_before;
    bool answers;
    int period_after;
    int starts_after;
  };
  for (const Case& c : {Case{true, 0, true, 1000, 1}, Case{true, 0, false, 1000, 1},
                        Case{true, 1000, true, 1000, 0}, Case{false, 0, true, 0, 0}}) {
    FakeApp f;
    f.controls.at(Id::选择框_间隔校时).ticked = c.ticked;
    f.controls.at(Id::时钟_间隔校时).period = c.period_before;
    if (c.answers) f.time_query.answers["http://s1.test"] = kAnswer;
    int period_at_query = -1;
    f.time_query.on_query = [&](const std::string&) {
      period_at_query = f.controls.timer_period(Id::时钟_间隔校时);
    };
    run_calibration(f.app);
    EXPECT_EQ(period_at_query, c.period_before);
    EXPECT_EQ(f.controls.timer_period(Id::时钟_间隔校时), c.period_after);
    // A running countdown is not restarted by the run's end.
    EXPECT_EQ(f.controls.at(Id::时钟_间隔校时).timer_starts, c.starts_after);
  }
}

// --- The options after a successful run ---

struct OptionCase {
  const char* name;
  bool auto_calibrate, interval, exit, clock_accepts;
  bool clock_set_expected;
  std::string tip;  // empty: no tip
  bool exit_pending;
};

void PrintTo(const OptionCase& c, std::ostream* os) { *os << c.name; }

class AfterSuccess : public testing::TestWithParam<OptionCase> {};

TEST_P(AfterSuccess, SetsTheClockWhenAnOptionAsks) {
  const OptionCase& c = GetParam();
  FakeApp f;
  f.controls.at(Id::选择框_自动校准).ticked = c.auto_calibrate;
  f.controls.at(Id::选择框_间隔校时).ticked = c.interval;
  f.controls.at(Id::选择框_自动退出).ticked = c.exit;
  f.clock.set_result = c.clock_accepts;
  f.time_query.answers["http://s1.test"] = kAnswer;
  run_calibration(f.app);

  EXPECT_EQ(f.clock.set_calls.size(), c.clock_set_expected ? 1u : 0u);
  if (c.tip.empty()) {
    EXPECT_TRUE(f.balloon.shows.empty());
  } else {
    ASSERT_EQ(f.balloon.shows.size(), 1u);
    EXPECT_EQ(f.balloon.shows[0].text, c.tip);
  }
  EXPECT_EQ(f.app.state.auto_exit_pending, c.exit_pending);
  EXPECT_TRUE(f.app.state.server_time_valid);
}

INSTANTIATE_TEST_SUITE_P(
    Options, AfterSuccess,
    testing::Values(
        OptionCase{"NoOption", false, false, false, true, false, "", false},
        OptionCase{"ExitAloneDoesNotSetTheClock", false, false, true, true, false, "", false},
        OptionCase{"AutoCalibrate", true, false, false, true, true, kClockSet, false},
        OptionCase{"AutoCalibrateAndExit", true, false, true, true, true, kClockSet, true},
        OptionCase{"Interval", false, true, false, true, true, kClockSet, false},
        OptionCase{"IntervalAndExit", false, true, true, true, true, kClockSet, true},
        OptionCase{"AutoCalibrateClockRefuses", true, false, false, false, true, kClockNotSet,
                   false},
        OptionCase{"AutoCalibrateAndExitClockRefuses", true, false, true, false, true, kClockNotSet,
                   false}),
    [](const testing::TestParamInfo<OptionCase>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(Calibration, NoClockSettingWhenNoServerAnswers) {
  FakeApp f;
  f.controls.at(Id::选择框_自动校准).ticked = true;
  f.controls.at(Id::选择框_自动退出).ticked = true;
  run_calibration(f.app);
  EXPECT_TRUE(f.clock.set_calls.empty());
  EXPECT_TRUE(f.balloon.shows.empty());
  EXPECT_FALSE(f.app.state.auto_exit_pending);
}

// --- Setting the clock ---

TEST(SetClock, RoundsToTheSecondWithTheDayOfTheWeek) {
  FakeApp f;
  // Tuesday 2026-12-08 13:36:15.6 becomes :16.
  f.app.state.server_time.days = kAnswer.days + 0.6 / 86400;
  set_clock_from_server_time(f.app);
  ASSERT_EQ(f.clock.set_calls.size(), 1u);
  const DateTimeParts& p = f.clock.set_calls[0];
  EXPECT_EQ(p.year, 2026);
  EXPECT_EQ(p.month, 12);
  EXPECT_EQ(p.day, 8);
  EXPECT_EQ(p.hour, 13);
  EXPECT_EQ(p.minute, 36);
  EXPECT_EQ(p.second, 16);
  EXPECT_EQ(p.day_of_week, 2);
}

TEST(SetClock, SuccessTipHidesByItselfNearTheBottomRightCorner) {
  FakeApp f;
  f.screen.screen_width = 1280;
  f.screen.screen_height = 1024;
  f.app.state.server_time = kAnswer;
  set_clock_from_server_time(f.app);
  EXPECT_EQ(f.balloon.log, (std::vector<std::string>{"no_auto_hide off", "show"}));
  ASSERT_EQ(f.balloon.shows.size(), 1u);
  const fakes::BalloonShow& tip = f.balloon.shows[0];
  EXPECT_EQ(tip.x, 1250);
  EXPECT_EQ(tip.y, 999);
  EXPECT_EQ(tip.text, kClockSet);
  EXPECT_EQ(tip.icon_index, -1);
  EXPECT_TRUE(tip.keep_style);
}

TEST(SetClock, FailureTipStaysAndLeavesTheExitAlone) {
  for (const bool pending_before : {false, true}) {
    FakeApp f;
    f.controls.at(Id::选择框_自动退出).ticked = true;
    f.app.state.auto_exit_pending = pending_before;
    f.app.state.server_time = kAnswer;
    f.clock.set_result = false;
    set_clock_from_server_time(f.app);
    EXPECT_EQ(f.balloon.log, (std::vector<std::string>{"no_auto_hide on", "show"}));
    ASSERT_EQ(f.balloon.shows.size(), 1u);
    EXPECT_EQ(f.balloon.shows[0].text, kClockNotSet);
    EXPECT_EQ(f.balloon.shows[0].x, 994);
    EXPECT_EQ(f.balloon.shows[0].y, 743);
    EXPECT_EQ(f.balloon.shows[0].icon_index, -1);
    EXPECT_TRUE(f.balloon.shows[0].keep_style);
    EXPECT_EQ(f.app.state.auto_exit_pending, pending_before);
    EXPECT_EQ(f.app.state.server_time.days, kAnswer.days);
  }
}

TEST(SetClock, FailureThenSuccessHidesByItselfAgain) {
  FakeApp f;
  f.app.state.server_time = kAnswer;
  f.clock.set_result = false;
  set_clock_from_server_time(f.app);
  f.clock.set_result = true;
  set_clock_from_server_time(f.app);
  ASSERT_EQ(f.balloon.shows.size(), 2u);
  EXPECT_TRUE(f.balloon.shows[0].no_auto_hide);
  EXPECT_FALSE(f.balloon.shows[1].no_auto_hide);
  EXPECT_EQ(f.balloon.shows[1].text, kClockSet);
}

TEST(SetClock, DoesNotLookAtTheValidityOfTheServerTime) {
  FakeApp f;
  f.app.state.server_time_valid = false;
  f.app.state.server_time = kAnswer;
  f.controls.at(Id::选择框_自动退出).ticked = true;
  set_clock_from_server_time(f.app);
  EXPECT_EQ(f.clock.set_calls.size(), 1u);
  EXPECT_TRUE(f.app.state.auto_exit_pending);
}

TEST(SetClock, FailureTextIsExact) {
  FakeApp f;
  f.clock.set_result = false;
  set_clock_from_server_time(f.app);
  ASSERT_EQ(f.balloon.shows.size(), 1u);
  const std::string& shown = f.balloon.shows[0].text;
  EXPECT_EQ(shown, kClockNotSet);
  // Twelve blanks, then the heading and three numbered lines after CR LF.
  EXPECT_EQ(shown.find_first_not_of(' '), 12u);
  std::size_t line_breaks = 0;
  for (std::size_t at = shown.find("\r\n"); at != std::string::npos;
       at = shown.find("\r\n", at + 2)) {
    ++line_breaks;
  }
  EXPECT_EQ(line_breaks, 3u);
}

}  // namespace
}  // namespace lanchuan
