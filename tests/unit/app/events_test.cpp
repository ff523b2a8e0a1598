#include "app/events.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "fakes/fake_app.h"

namespace lanchuan {
namespace {

using Id = ControlId;

// Each event, run through the table, does what a direct call of its handler does.
TEST(EventTable, RunsTheNamedHandler) {
  struct Case {
    ControlId control;
    Event event;
    int arg;
    std::function<void(App&)> direct;
  };
  const Case cases[] = {
      {Id::透明标签_标题, Event::kLeftPressed, 0, on_title_pressed},
      {Id::设置按钮, Event::kClicked, 0, on_settings_clicked},
      {Id::图形按钮_最小化, Event::kClicked, 0, on_minimise_clicked},
      {Id::图形按钮_关闭, Event::kClicked, 0, on_close_clicked},
      {Id::图片框_正常页, Event::kRightPressed, 0, on_page_right_pressed},
      {kMainWindow, Event::kEscape, 0, on_escape_pressed},
      {kMainWindow, Event::kDestroying, 0, on_main_window_destroying},
      {kMainWindow, Event::kTrayIcon, kTrayLeftUp, [](App& a) { on_tray_event(a, kTrayLeftUp); }},
      {kMainWindow, Event::kTrayIcon, kTrayRightUp, [](App& a) { on_tray_event(a, kTrayRightUp); }},
      {kMainWindow, Event::kCreated, 0, on_main_window_created},
  };
  for (const Case& c : cases) {
    const EventHandler handler = handler_for(c.control, c.event);
    ASSERT_NE(handler, nullptr) << static_cast<int>(c.event);
    fakes::FakeApp via_table;
    fakes::FakeApp direct;
    via_table.window.cursor_x = direct.window.cursor_x = 50;
    handler(via_table.app, c.arg);
    c.direct(direct.app);
    EXPECT_EQ(via_table.window.log, direct.window.log) << static_cast<int>(c.event);
    EXPECT_FALSE(direct.window.log.empty()) << static_cast<int>(c.event);
  }
}

TEST(EventTable, TrayMenuExitRunsTheExitHandler) {
  fakes::FakeApp via_menu;
  fakes::FakeApp direct;
  const MenuItemRow& exit = tray_menu_end()[-1];
  ASSERT_NE(exit.handler, nullptr);
  exit.handler(via_menu.app, 0);
  on_exit_chosen(direct.app);
  EXPECT_EQ(via_menu.window.log, direct.window.log);
  EXPECT_FALSE(direct.window.log.empty());
}

TEST(EventTable, FailoverOptionThroughTheTable) {
  fakes::FakeApp f;
  handler_for(Id::选择框_自动尝试下一服务器, Event::kClicked)(f.app, 0);
  EXPECT_EQ(f.controls.focused(), Id::图形按钮_获取时间);
}

TEST(EventTable, NoHandlerForAnUnboundEvent) {
  EXPECT_EQ(handler_for(Id::编辑框_系统时间, Event::kClicked), nullptr);
  EXPECT_EQ(handler_for(kMainWindow, Event::kElapsed), nullptr);
}

}  // namespace
}  // namespace lanchuan
