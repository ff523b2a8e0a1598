#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "fakes/fake_app.h"

namespace lanchuan {
namespace {

TEST(Chrome, HandlersAskTheWindow) {
  struct Case {
    const char* name;
    std::function<void(App&)> handler;
    std::vector<std::string> log;
  };
  const std::vector<std::string> menu = {"bring_to_foreground", "cursor_pos",
                                         "track_tray_menu 15 -5"};
  const Case cases[] = {
      {"title", on_title_pressed, {"drag_by_caption"}},
      {"close button", on_close_clicked, {"post_close"}},
      {"menu exit", on_exit_chosen, {"post_close"}},
      {"escape", on_escape_pressed, {"send_close"}},
      {"minimise", on_minimise_clicked, {"minimise", "move_to 3200 3200"}},
      {"settings button", on_settings_clicked, menu},
      {"page right press", on_page_right_pressed, menu},
  };
  for (const Case& c : cases) {
    fakes::FakeApp f;
    f.window.cursor_x = 20;
    f.window.cursor_y = 0;
    c.handler(f.app);
    EXPECT_EQ(f.window.log, c.log) << c.name;
  }
}

TEST(Chrome, MinimiseHidesToTray) {
  fakes::FakeApp f;
  on_minimise_clicked(f.app);
  EXPECT_TRUE(f.app.state.hidden_to_tray);
}

TEST(Chrome, FailoverOptionOnlyMovesTheFocus) {
  fakes::FakeApp f;
  f.controls.set_ticked(ControlId::选择框_自动尝试下一服务器, false);
  on_failover_option_clicked(f.app);
  EXPECT_EQ(f.controls.focused(), ControlId::图形按钮_获取时间);
  EXPECT_FALSE(f.controls.ticked(ControlId::选择框_自动尝试下一服务器));
  EXPECT_TRUE(f.settings.writes.empty());
}

}  // namespace
}  // namespace lanchuan
