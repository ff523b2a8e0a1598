#include "app/dispatch.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "fakes/fake_app.h"

namespace lanchuan {
namespace {

// Each handler, run through the dispatcher, does what a direct call does.
TEST(Dispatch, RunsTheNamedHandler) {
  struct Case {
    Handler handler;
    int arg;
    std::function<void(App&)> direct;
  };
  const Case cases[] = {
      {Handler::on_title_pressed, 0, on_title_pressed},
      {Handler::on_settings_clicked, 0, on_settings_clicked},
      {Handler::on_minimise_clicked, 0, on_minimise_clicked},
      {Handler::on_close_clicked, 0, on_close_clicked},
      {Handler::on_page_right_pressed, 0, on_page_right_pressed},
      {Handler::on_exit_chosen, 0, on_exit_chosen},
      {Handler::on_escape_pressed, 0, on_escape_pressed},
      {Handler::on_main_window_destroying, 0, on_main_window_destroying},
      {Handler::on_tray_event, 1, [](App& a) { on_tray_event(a, 1); }},
      {Handler::on_tray_event, 3, [](App& a) { on_tray_event(a, 3); }},
      {Handler::on_main_window_created, 0, on_main_window_created},
  };
  for (const Case& c : cases) {
    fakes::FakeApp via_dispatch;
    fakes::FakeApp direct;
    via_dispatch.window.cursor_x = direct.window.cursor_x = 50;
    dispatch(via_dispatch.app, c.handler, c.arg);
    c.direct(direct.app);
    EXPECT_EQ(via_dispatch.window.log, direct.window.log) << static_cast<int>(c.handler);
    EXPECT_FALSE(direct.window.log.empty()) << static_cast<int>(c.handler);
  }
}

TEST(Dispatch, FailoverOptionThroughTheDispatcher) {
  fakes::FakeApp f;
  dispatch(f.app, Handler::on_failover_option_clicked, 0);
  EXPECT_EQ(f.controls.focused(), ControlId::图形按钮_获取时间);
}

TEST(Dispatch, NoHandlerDoesNothing) {
  fakes::FakeApp f;
  dispatch(f.app, Handler::kCount, 0);
  EXPECT_TRUE(f.window.log.empty());
}

}  // namespace
}  // namespace lanchuan
