#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/handlers.h"
#include "fakes/fake_app.h"

namespace lanchuan {
namespace {

using Id = ControlId;

DateTime at(int y, int mo, int d, int h, int mi, int s) {
  DateTime t;
  EXPECT_TRUE(make_date_time(y, mo, d, h, mi, s, t));
  return t;
}

TEST(Startup, FirstStartWithoutSettings) {
  fakes::FakeApp f;
  f.clock.now = at(2026, 12, 8, 13, 36, 15);
  f.app.state.server_time_valid = true;  // must be cleared

  on_main_window_created(f.app);

  EXPECT_EQ(f.window.log,
            (std::vector<std::string>{"apply_look 1", "apply_rounded_region 4", "add_tray_icon"}));
  EXPECT_FALSE(f.app.state.server_time_valid);
  EXPECT_FALSE(f.controls.enabled(Id::图形按钮_开始校准));
  EXPECT_TRUE(f.controls.enabled(Id::图形按钮_获取时间));
  EXPECT_EQ(f.controls.text(Id::编辑框_系统时间), "2026-12-08  13:36:15");
  EXPECT_EQ(f.controls.text(Id::组合框1), fakes::fake_server_list().front());
  EXPECT_EQ(f.controls.focused(), Id::图形按钮_获取时间);
  EXPECT_EQ(f.app.state.clock_centre_x, 40);
  EXPECT_EQ(f.app.state.clock_centre_y, 40);
  EXPECT_FALSE(f.canvas.ops.empty());
  EXPECT_FALSE(f.app.state.status_link.empty());
  EXPECT_EQ(f.app.state.exit_countdown, 5);
  EXPECT_TRUE(f.app.state.delayed_run_done);  // no countdown runs
  EXPECT_EQ(f.controls.timer_period(Id::时钟_间隔校时), 0);
  EXPECT_FALSE(f.controls.ticked(Id::选择框_自动校准));
  EXPECT_FALSE(f.controls.ticked(Id::选择框_开机后自动启动));
}

TEST(Startup, RestoredDelayedOptionKeepsItsCountdown) {
  fakes::FakeApp f;
  f.settings.put("voru", "是否自动", "是");
  f.settings.put("lx", "fuwuqi", "http://time.example");
  on_main_window_created(f.app);
  EXPECT_TRUE(f.controls.ticked(Id::选择框_自动校准));
  EXPECT_FALSE(f.app.state.delayed_run_done);
  EXPECT_EQ(f.controls.text(Id::组合框1), "http://time.example");
  // Restoring the options never moves the focus away from the button.
  EXPECT_EQ(f.controls.focused(), Id::图形按钮_获取时间);
}

TEST(Startup, DestroyingRemovesTheTrayIcon) {
  fakes::FakeApp f;
  on_main_window_created(f.app);
  ASSERT_TRUE(f.window.tray_icon_up);
  on_main_window_destroying(f.app);
  EXPECT_FALSE(f.window.tray_icon_up);
}

TEST(Tray, HideAndRestore) {
  fakes::FakeApp f;
  hide_to_tray(f.app);
  EXPECT_TRUE(f.app.state.hidden_to_tray);
  restore_from_tray(f.app);
  EXPECT_FALSE(f.app.state.hidden_to_tray);
  EXPECT_EQ(f.window.log,
            (std::vector<std::string>{"minimise", "move_to 3200 3200", "show_normal"}));
}

TEST(Tray, EventKinds) {
  struct Case {
    const char* name;
    std::vector<int> kinds;
    bool hidden_after;
    std::vector<std::string> log;
  };
  const std::vector<std::string> menu = {"bring_to_foreground", "cursor_pos",
                                         "track_tray_menu 295 395"};
  const Case cases[] = {
      {"left click hides", {1}, true, {"minimise", "move_to 3200 3200"}},
      {"second left click restores",
       {1, 1},
       false,
       {"minimise", "move_to 3200 3200", "show_normal"}},
      {"double-click does nothing", {2}, false, {}},
      {"unknown kinds do nothing", {0, 4, -1, 0x0205}, false, {}},
      {"right click pops the menu up", {3}, false, menu},
  };
  for (const Case& c : cases) {
    fakes::FakeApp f;
    f.window.cursor_x = 300;
    f.window.cursor_y = 400;
    for (int kind : c.kinds) on_tray_event(f.app, kind);
    EXPECT_EQ(f.app.state.hidden_to_tray, c.hidden_after) << c.name;
    EXPECT_EQ(f.window.log, c.log) << c.name;
  }
}

}  // namespace
}  // namespace lanchuan
