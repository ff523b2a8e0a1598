// The main job through the window: the delayed calibration after start, the
// failover sweep seen at the fake servers, the balloon tips, the auto-exit
// countdown, and the settings written by option clicks and restored at the
// next start. The seven built-in server names resolve to 127.0.0.11-17.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <vector>

#include "e2e/support/app_driver.h"
#include "e2e/support/fake_http_server.h"
#include "e2e/support/servers.h"
#include "timesync/servers.h"
#include "ui/layout.h"

namespace lanchuan::e2e {
namespace {

using Id = ControlId;

constexpr const char* kTipClass = "LanchuanBalloonTip";
constexpr const char* kSuccessTip = "校时完成 ！";
constexpr const char* kFailureTip =
    "            【时间修改失败】\r\n"
    "1.检查是否有杀毒或防火墙之类的软件禁止了时间的修改！\r\n"
    "2.关闭所有正在运行的软件在试一次！\r\n"
    "3.请检查是否有权限修改本机时间！";

FakeResponse current_time() {
  FakeResponse r;
  r.align_to_second = true;  // within half a second of the truth: Wine accepts the new time
  return r;
}

FakeResponse hour_ahead() {
  FakeResponse r;
  r.date = http_date_now(3600);  // Wine refuses to move its clock that far
  return r;
}

// "2026-12-09  02:12:29"
bool looks_like_a_time(const std::string& text) {
  if (text.size() != 20 || text.substr(10, 2) != "  ") return false;
  for (size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u, 12u, 13u, 15u, 16u, 18u, 19u}) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

std::string profile(const char* section, const char* key) {
  char value[256] = {};
  GetPrivateProfileStringA(section, key, "<missing>", value, sizeof value, kSettingsFile);
  return value;
}

class CalibrationWindow : public ::testing::Test {
 protected:
  // The first program a prefix shows a window for also starts Wine's desktop
  // and services, which can take seconds on a busy machine: done once here,
  // so that the first test's timings start when its window does.
  static void SetUpTestSuite() {
    delete_settings_file();
    AppDriver first;
    first.start();
    first.kill();
  }
  void SetUp() override { delete_settings_file(); }
  void TearDown() override {
    app.kill();
    delete_settings_file();
  }
  HWND tip() const { return app.top_level_window(kTipClass); }
  std::string tip_text() const {
    const HWND t = tip();
    return t ? app.text(t) : std::string();
  }
  AppDriver app;
};

TEST_F(CalibrationWindow, DelayOfTwoSecondsStartsTheRunOnTheThirdTick) {
  auto servers = builtin_servers(1);
  servers[0]->set_response(current_time());
  ASSERT_TRUE(write_settings_file("[voru]\r\n是否自动=是\r\n秒=2\r\n"));
  ASSERT_TRUE(app.start());
  const DWORD shown = GetTickCount();
  EXPECT_TRUE(app.ticked(Id::选择框_自动校准));
  EXPECT_FALSE(app.enabled(Id::编辑框_延迟秒));

  ASSERT_TRUE(wait_until([&] { return servers[0]->request_count() > 0; }, 15000));
  const DWORD started = servers[0]->request_ticks().at(0) - shown;  // when the request came
  EXPECT_GE(started, 2300u);  // not on the first or second tick
  EXPECT_LE(started, 4700u);
  EXPECT_EQ("0", app.text(Id::编辑框_延迟秒));  // the box keeps its last count
  EXPECT_TRUE(wait_until([&] { return tip_text() == kSuccessTip; }, 5000))
      << tip_text() << "; stamping misses: " << servers[0]->stamping_misses();
  EXPECT_TRUE(looks_like_a_time(app.text(Id::编辑框_服务器时间)));
  EXPECT_EQ(1u, servers[0]->request_count());  // once per start
}

TEST_F(CalibrationWindow, FailedServersAreFollowedByTheListInOrder) {
  auto servers = builtin_servers(3);
  servers[0]->set_response(no_date());
  servers[1]->set_response(no_date());
  servers[2]->set_response(current_time());
  ASSERT_TRUE(app.start());
  EXPECT_FALSE(app.enabled(Id::图形按钮_开始校准));
  app.mouse_click(Id::图形按钮_获取时间);

  ASSERT_TRUE(wait_until([&] { return looks_like_a_time(app.text(Id::编辑框_服务器时间)); }, 30000))
      << app.text(Id::编辑框_服务器时间);
  EXPECT_EQ(2u, servers[0]->request_count());  // the chosen one, then item 1 of the list
  EXPECT_EQ(1u, servers[1]->request_count());
  EXPECT_EQ(1u, servers[2]->request_count());
  EXPECT_EQ(kServerList[2], app.text(Id::组合框1));
  EXPECT_TRUE(app.enabled(Id::图形按钮_获取时间));
  EXPECT_TRUE(app.enabled(Id::图形按钮_开始校准));
  // Neither option that sets the clock is ticked: no tip.
  EXPECT_EQ(nullptr, tip());
}

TEST_F(CalibrationWindow, EveryServerDownLeavesOnlyTheFetchButtonEnabled) {
  auto servers = builtin_servers(kServerCount);
  for (auto& s : servers) s->set_response(no_date());
  ASSERT_TRUE(app.start());
  app.mouse_click(Id::图形按钮_获取时间);
  ASSERT_TRUE(wait_until(
      [&] { return app.text(Id::编辑框_服务器时间) == "时间服务器连接失败......"; }, 60000));
  EXPECT_EQ(kServerList[kServerCount - 1], app.text(Id::组合框1));
  EXPECT_TRUE(app.enabled(Id::图形按钮_获取时间));
  EXPECT_FALSE(app.enabled(Id::图形按钮_开始校准));
  size_t total = 0;
  for (auto& s : servers) total += s->request_count();
  EXPECT_EQ(static_cast<size_t>(kServerCount + 1), total);
}

TEST_F(CalibrationWindow, ClockThatCannotBeSetShowsTheFailureTipWhichStays) {
  auto servers = builtin_servers(1);
  servers[0]->set_response(hour_ahead());
  ASSERT_TRUE(write_settings_file("[voru]\r\n是否自动=是\r\n秒=0\r\n"));
  ASSERT_TRUE(app.start());
  ASSERT_TRUE(wait_until([&] { return tip() != nullptr; }, 10000));
  EXPECT_EQ(kFailureTip, tip_text());
  Sleep(4500);  // longer than a tip that hides by itself lasts
  EXPECT_NE(nullptr, tip());
  EXPECT_TRUE(app.enabled(Id::图形按钮_开始校准));  // the time itself was fetched
}

TEST_F(CalibrationWindow, SuccessTipHidesByItself) {
  auto servers = builtin_servers(1);
  servers[0]->set_response(current_time());
  ASSERT_TRUE(write_settings_file("[voru]\r\n是否自动=是\r\n秒=0\r\n"));
  ASSERT_TRUE(app.start());
  ASSERT_TRUE(wait_until([&] { return tip_text() == kSuccessTip; }, 10000))
      << tip_text() << "; stamping misses: " << servers[0]->stamping_misses();
  EXPECT_TRUE(wait_until([&] { return tip() == nullptr; }, 6000));
}

TEST_F(CalibrationWindow, AutoExitCountsDownAndEndsWithExitCodeZero) {
  auto servers = builtin_servers(1);
  servers[0]->set_response(current_time());
  ASSERT_TRUE(write_settings_file("[voru]\r\n是否自动=是\r\n秒=0\r\n自动退出=是\r\n"));
  ASSERT_TRUE(app.start());
  bool saw_countdown = false;
  wait_until(
      [&] {
        saw_countdown = saw_countdown ||
                        app.text(Id::编辑框_服务器时间) == "校准完成 5 秒后自动退出" ||
                        app.text(Id::编辑框_服务器时间) == "校准完成 4 秒后自动退出";
        return !app.running();
      },
      20000, 100);
  DWORD code = 1234;
  ASSERT_TRUE(app.wait_for_exit(1000, &code));
  EXPECT_EQ(0u, code);
  EXPECT_TRUE(saw_countdown);
}

TEST_F(CalibrationWindow, OptionClicksAreSavedAndRestoredAtTheNextStart) {
  ASSERT_TRUE(app.start());
  app.send(app.control(Id::选择框_间隔校时), BM_CLICK, 0, 0);
  EXPECT_EQ("是", profile("voru", "是否间隔"));
  EXPECT_EQ("5", profile("voru", "间隔秒"));
  EXPECT_FALSE(app.enabled(Id::编辑框_间隔秒));

  // The delayed option switches the interval off and writes both.
  app.send(app.control(Id::选择框_自动校准), BM_CLICK, 0, 0);
  EXPECT_EQ("是", profile("voru", "是否自动"));
  EXPECT_EQ("60", profile("voru", "秒"));
  EXPECT_EQ("否", profile("voru", "是否间隔"));
  EXPECT_FALSE(app.ticked(Id::选择框_间隔校时));
  EXPECT_TRUE(app.enabled(Id::编辑框_间隔秒));

  app.send(app.control(Id::选择框_自动退出), BM_CLICK, 0, 0);
  EXPECT_EQ("是", profile("voru", "自动退出"));

  // A server typed into the combo box is saved when the box loses the focus.
  const HWND combo = app.control(Id::组合框1);
  const HWND combo_edit = GetWindow(combo, GW_CHILD);
  ASSERT_NE(nullptr, combo_edit);
  app.send(combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("http://mine.example"));
  app.post(combo_edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  app.post(combo_edit, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  ASSERT_TRUE(wait_until([&] { return app.focused_window() == combo_edit; }, 3000));
  app.send(app.control(Id::选择框_自动尝试下一服务器), BM_CLICK, 0, 0);  // focus moves on
  EXPECT_TRUE(wait_until([&] { return profile("lx", "fuwuqi") == "http://mine.example"; }, 3000))
      << profile("lx", "fuwuqi");

  // Nothing is written at exit; the next start shows what the clicks saved.
  app.kill();
  ASSERT_TRUE(app.start());
  EXPECT_FALSE(app.ticked(Id::选择框_间隔校时));
  EXPECT_TRUE(app.ticked(Id::选择框_自动校准));
  EXPECT_FALSE(app.enabled(Id::编辑框_延迟秒));
  EXPECT_TRUE(app.ticked(Id::选择框_自动退出));
  EXPECT_TRUE(app.ticked(Id::选择框_自动尝试下一服务器));  // never saved: ticked at every start
  EXPECT_EQ("http://mine.example", app.text(Id::组合框1));
}

TEST_F(CalibrationWindow, IntervalRestoredFromTheFileCountsAndCalibrates) {
  auto servers = builtin_servers(1);
  servers[0]->set_response(current_time());
  ASSERT_TRUE(write_settings_file("[voru]\r\n是否间隔=是\r\n间隔秒=1\r\n是否自动=是\r\n"));
  ASSERT_TRUE(app.start());
  EXPECT_TRUE(app.ticked(Id::选择框_间隔校时));
  EXPECT_FALSE(app.ticked(Id::选择框_自动校准));  // the interval wins
  EXPECT_FALSE(app.enabled(Id::编辑框_间隔秒));
  // "1" counts 0, then runs; after each run the box shows "1" again.
  EXPECT_TRUE(wait_until([&] { return servers[0]->request_count() >= 2; }, 12000));
  EXPECT_TRUE(wait_until([&] { return tip_text() == kSuccessTip; }, 5000))
      << tip_text() << "; stamping misses: " << servers[0]->stamping_misses();
}

}  // namespace
}  // namespace lanchuan::e2e
