#include "app/settings.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "fakes/fake_app.h"

namespace lanchuan {
namespace {

using fakes::FakeApp;
using fakes::SettingsRead;
using fakes::SettingsWrite;
using Id = ControlId;

void put_option(FakeApp& f, const std::string& key, const std::string& value) {
  f.settings.put("voru", key, value);
}

SettingsRead option_read(const std::string& key, const std::string& default_value) {
  return {"voru", key, default_value};
}

SettingsWrite option_write(const std::string& key, const std::string& value) {
  return {"voru", key, value};
}

// A check box click: the box toggles first, then its handler runs.
void click(FakeApp& f, Id option, void (*handler)(App&)) {
  f.controls.set_ticked(option, !f.controls.ticked(option));
  handler(f.app);
}

// --- The server choice ---

TEST(ServerChoice, MissingKeyKeepsTheCurrentComboText) {
  FakeApp f;
  f.controls.at(Id::组合框1).text = "http://typed.test";
  restore_server_choice(f.app);
  EXPECT_EQ(f.controls.text(Id::组合框1), "http://typed.test");
  EXPECT_EQ(f.settings.reads, (std::vector<SettingsRead>{{"lx", "fuwuqi", "http://typed.test"}}));
}

TEST(ServerChoice, AnyStoredTextBecomesTheComboText) {
  for (const std::string stored : {"http://s3.test", "http://not-in-the-list.test", ""}) {
    FakeApp f;
    f.settings.put("lx", "fuwuqi", stored);
    restore_server_choice(f.app);
    EXPECT_EQ(f.controls.text(Id::组合框1), stored);
  }
}

TEST(ServerChoice, LosingTheFocusStoresTheComboText) {
  FakeApp f;
  f.controls.set_text(Id::组合框1, "http://chosen.test");
  save_server_choice(f.app);
  EXPECT_EQ(f.settings.writes,
            (std::vector<SettingsWrite>{{"lx", "fuwuqi", "http://chosen.test"}}));
}

// --- Restoring the calibration options ---

TEST(RestoreOptions, NoFileLeavesTheDesignTimeStateAndReadsOnlyTheSwitches) {
  FakeApp f;
  restore_calibration_options(f.app);
  EXPECT_FALSE(f.controls.ticked(Id::选择框_间隔校时));
  EXPECT_FALSE(f.controls.ticked(Id::选择框_自动校准));
  EXPECT_FALSE(f.controls.ticked(Id::选择框_自动退出));
  EXPECT_EQ(f.controls.text(Id::编辑框_间隔秒), "5");
  EXPECT_EQ(f.controls.text(Id::编辑框_延迟秒), "60");
  EXPECT_TRUE(f.controls.enabled(Id::编辑框_间隔秒));
  EXPECT_TRUE(f.controls.enabled(Id::编辑框_延迟秒));
  EXPECT_EQ(f.controls.timer_period(Id::时钟_间隔校时), 0);
  EXPECT_EQ(f.settings.reads,
            (std::vector<SettingsRead>{option_read("是否间隔", "否"), option_read("是否自动", "否"),
                                       option_read("自动退出", "否")}));
  EXPECT_TRUE(f.settings.writes.empty());
}

TEST(RestoreOptions, IntervalWinsAndTheOtherKeysAreNotRead) {
  FakeApp f;
  put_option(f, "是否间隔", "是");
  put_option(f, "间隔秒", "30");
  put_option(f, "是否自动", "是");
  put_option(f, "秒", "15");
  put_option(f, "自动退出", "是");
  restore_calibration_options(f.app);

  EXPECT_TRUE(f.controls.ticked(Id::选择框_间隔校时));
  EXPECT_FALSE(f.controls.enabled(Id::编辑框_间隔秒));
  EXPECT_EQ(f.controls.text(Id::编辑框_间隔秒), "30");
  EXPECT_EQ(f.app.state.saved_interval_text, "30");
  EXPECT_EQ(f.controls.timer_period(Id::时钟_间隔校时), 1000);
  EXPECT_EQ(f.controls.at(Id::时钟_间隔校时).timer_starts, 1);

  EXPECT_FALSE(f.controls.ticked(Id::选择框_自动校准));
  EXPECT_FALSE(f.controls.ticked(Id::选择框_自动退出));
  EXPECT_EQ(f.controls.text(Id::编辑框_延迟秒), "60");
  EXPECT_TRUE(f.controls.enabled(Id::编辑框_延迟秒));
  EXPECT_EQ(f.settings.reads, (std::vector<SettingsRead>{option_read("是否间隔", "否"),
                                                         option_read("间隔秒", "20")}));
}

TEST(RestoreOptions, IntervalSecondsKeyMissingOrEmpty) {
  struct Case {
    bool present;
    std::string stored;
    std::string expected;
  };
  for (const Case& c : {Case{false, "", "20"}, Case{true, "", ""}, Case{true, "abc", "abc"}}) {
    FakeApp f;
    put_option(f, "是否间隔", "是");
    if (c.present) put_option(f, "间隔秒", c.stored);
    restore_calibration_options(f.app);
    EXPECT_EQ(f.controls.text(Id::编辑框_间隔秒), c.expected);
    EXPECT_EQ(f.app.state.saved_interval_text, c.expected);
  }
}

TEST(RestoreOptions, OnlyTheExactYesCountsAsOn) {
  for (const std::string value : {"1", "yes", "Yes", "", " 是", "是 ", "否", "是是"}) {
    FakeApp f;
    put_option(f, "是否间隔", value);
    put_option(f, "是否自动", value);
    put_option(f, "自动退出", value);
    restore_calibration_options(f.app);
    EXPECT_FALSE(f.controls.ticked(Id::选择框_间隔校时)) << value;
    EXPECT_FALSE(f.controls.ticked(Id::选择框_自动校准)) << value;
    EXPECT_FALSE(f.controls.ticked(Id::选择框_自动退出)) << value;
    EXPECT_EQ(f.controls.timer_period(Id::时钟_间隔校时), 0);
    EXPECT_FALSE(f.settings.was_read("voru", "秒"));
  }
}

TEST(RestoreOptions, DelayedOptionTakesItsSecondsAndDisablesTheBox) {
  struct Case {
    bool present;
    std::string stored;
    std::string expected;
  };
  for (const Case& c : {Case{false, "", "60"}, Case{true, "15", "15"}, Case{true, "", ""}}) {
    FakeApp f;
    put_option(f, "是否自动", "是");
    if (c.present) put_option(f, "秒", c.stored);
    restore_calibration_options(f.app);
    EXPECT_TRUE(f.controls.ticked(Id::选择框_自动校准));
    EXPECT_FALSE(f.controls.enabled(Id::编辑框_延迟秒));
    EXPECT_EQ(f.controls.text(Id::编辑框_延迟秒), c.expected);
    EXPECT_FALSE(f.controls.ticked(Id::选择框_自动退出));
    EXPECT_EQ(f.settings.reads, (std::vector<SettingsRead>{
                                    option_read("是否间隔", "否"), option_read("是否自动", "否"),
                                    option_read("秒", "60"), option_read("自动退出", "否")}));
  }
}

TEST(RestoreOptions, ExitOptionAloneAndWithTheDelayedOption) {
  for (const bool delayed : {false, true}) {
    FakeApp f;
    put_option(f, "自动退出", "是");
    if (delayed) put_option(f, "是否自动", "是");
    restore_calibration_options(f.app);
    EXPECT_TRUE(f.controls.ticked(Id::选择框_自动退出));
    EXPECT_EQ(f.controls.ticked(Id::选择框_自动校准), delayed);
    EXPECT_EQ(f.controls.enabled(Id::编辑框_延迟秒), !delayed);
    EXPECT_EQ(f.controls.timer_period(Id::时钟_间隔校时), 0);
  }
}

// --- What each option click writes ---

struct ClickCase {
  const char* name;
  bool interval_before, delayed_before, exit_before;
  Id option;
  void (*handler)(App&);
  std::vector<SettingsWrite> writes;
};

void PrintTo(const ClickCase& c, std::ostream* os) { *os << c.name; }

class OptionClickWrites : public testing::TestWithParam<ClickCase> {};

TEST_P(OptionClickWrites, InTheirOrder) {
  const ClickCase& c = GetParam();
  FakeApp f;
  f.controls.at(Id::选择框_间隔校时).ticked = c.interval_before;
  f.controls.at(Id::选择框_自动校准).ticked = c.delayed_before;
  f.controls.at(Id::选择框_自动退出).ticked = c.exit_before;
  f.controls.at(Id::编辑框_间隔秒).text = "7";
  f.controls.at(Id::编辑框_延迟秒).text = "45";
  click(f, c.option, c.handler);
  EXPECT_EQ(f.settings.writes, c.writes);
  EXPECT_EQ(f.controls.focused(), Id::图形按钮_获取时间);
}

INSTANTIATE_TEST_SUITE_P(
    AllOptions, OptionClickWrites,
    testing::Values(ClickCase{"IntervalOnAlone",
                              false,
                              false,
                              false,
                              Id::选择框_间隔校时,
                              on_interval_option_clicked,
                              {option_write("是否间隔", "是"), option_write("间隔秒", "7")}},
                    ClickCase{"IntervalOnOverDelayedAndExit",
                              false,
                              true,
                              true,
                              Id::选择框_间隔校时,
                              on_interval_option_clicked,
                              {option_write("是否间隔", "是"), option_write("间隔秒", "7"),
                               option_write("是否自动", "否"), option_write("自动退出", "否")}},
                    ClickCase{"IntervalOnOverExit",
                              false,
                              false,
                              true,
                              Id::选择框_间隔校时,
                              on_interval_option_clicked,
                              {option_write("是否间隔", "是"), option_write("间隔秒", "7"),
                               option_write("自动退出", "否")}},
                    ClickCase{"IntervalOff",
                              true,
                              false,
                              false,
                              Id::选择框_间隔校时,
                              on_interval_option_clicked,
                              {option_write("是否间隔", "否")}},
                    ClickCase{"DelayedOn",
                              false,
                              false,
                              false,
                              Id::选择框_自动校准,
                              on_delayed_option_clicked,
                              {option_write("是否自动", "是"), option_write("秒", "45"),
                               option_write("是否间隔", "否")}},
                    ClickCase{"DelayedOnOverInterval",
                              true,
                              false,
                              false,
                              Id::选择框_自动校准,
                              on_delayed_option_clicked,
                              {option_write("是否自动", "是"), option_write("秒", "45"),
                               option_write("是否间隔", "否")}},
                    ClickCase{"DelayedOff",
                              false,
                              true,
                              false,
                              Id::选择框_自动校准,
                              on_delayed_option_clicked,
                              {option_write("是否自动", "否")}},
                    ClickCase{"ExitOn",
                              false,
                              false,
                              false,
                              Id::选择框_自动退出,
                              on_exit_option_clicked,
                              {option_write("自动退出", "是"), option_write("是否间隔", "否")}},
                    ClickCase{"ExitOnWithDelayed",
                              false,
                              true,
                              false,
                              Id::选择框_自动退出,
                              on_exit_option_clicked,
                              {option_write("自动退出", "是"), option_write("是否间隔", "否")}},
                    ClickCase{"ExitOff",
                              false,
                              false,
                              true,
                              Id::选择框_自动退出,
                              on_exit_option_clicked,
                              {option_write("自动退出", "否")}}),
    [](const testing::TestParamInfo<ClickCase>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(OptionClicks, UntickingTheDelayedOptionReadsItsSecondsBack) {
  for (const bool stored : {false, true}) {
    FakeApp f;
    if (stored) put_option(f, "秒", "90");
    f.controls.at(Id::选择框_自动校准).ticked = true;
    f.controls.at(Id::编辑框_延迟秒).text = "12";  // a partial count
    click(f, Id::选择框_自动校准, on_delayed_option_clicked);
    EXPECT_EQ(f.controls.text(Id::编辑框_延迟秒), stored ? "90" : "60");
    EXPECT_EQ(f.settings.reads, (std::vector<SettingsRead>{option_read("秒", "60")}));
  }
}

TEST(OptionClicks, AnEmptyIntervalBoxIsStoredEmptyAndComesBackEmpty) {
  FakeApp f;
  f.controls.at(Id::编辑框_间隔秒).text = "";
  click(f, Id::选择框_间隔校时, on_interval_option_clicked);
  ASSERT_TRUE(f.settings.has("voru", "间隔秒"));

  FakeApp next;
  next.settings.values = f.settings.values;
  restore_calibration_options(next.app);
  EXPECT_EQ(next.controls.text(Id::编辑框_间隔秒), "");
}

TEST(OptionClicks, WhatTheClicksStoreIsRestoredAtTheNextStart) {
  FakeApp f;
  f.controls.set_text(Id::编辑框_延迟秒, "33");
  click(f, Id::选择框_自动校准, on_delayed_option_clicked);
  click(f, Id::选择框_自动退出, on_exit_option_clicked);
  f.controls.set_text(Id::组合框1, "http://s4.test");
  save_server_choice(f.app);

  FakeApp next;
  next.settings.values = f.settings.values;
  restore_server_choice(next.app);
  restore_calibration_options(next.app);
  EXPECT_EQ(next.controls.text(Id::组合框1), "http://s4.test");
  EXPECT_TRUE(next.controls.ticked(Id::选择框_自动校准));
  EXPECT_TRUE(next.controls.ticked(Id::选择框_自动退出));
  EXPECT_FALSE(next.controls.ticked(Id::选择框_间隔校时));
  EXPECT_EQ(next.controls.text(Id::编辑框_延迟秒), "33");
}

}  // namespace
}  // namespace lanchuan
