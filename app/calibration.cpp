// One calibration run: the chosen server first, then, if the user allows it,
// every server of the list; the outcome goes to the status line, the buttons
// and the shared server time, and the clock is set when an option asks for it.
#include <string>

#include "app/handlers.h"

namespace lanchuan {

namespace {

using Id = ControlId;

constexpr const char* kSearching = "正在查找时间服务器......";
constexpr const char* kNoServer = "时间服务器连接失败......";
constexpr const char* kClockSet = "校时完成 ！";
constexpr const char* kClockNotSet =
    "            【时间修改失败】\r\n"
    "1.检查是否有杀毒或防火墙之类的软件禁止了时间的修改！\r\n"
    "2.关闭所有正在运行的软件在试一次！\r\n"
    "3.请检查是否有权限修改本机时间！";

constexpr int kNoNetworkPauseMs = 1000;
constexpr int kIntervalTickMs = 1000;
constexpr int kTipOffsetX = 30;
constexpr int kTipOffsetY = 25;
constexpr int kNoIcon = -1;

void on_server_answered(App& app) {
  Controls& c = app.ports.controls;
  c.set_text(Id::编辑框_服务器时间, format_date_time(app.state.server_time));
  c.set_enabled(Id::图形按钮_获取时间, true);
  c.set_enabled(Id::图形按钮_开始校准, true);
  app.state.server_time_valid = true;
  if (c.ticked(Id::选择框_自动校准) || c.ticked(Id::选择框_间隔校时)) {
    set_clock_from_server_time(app);
  }
}

// Try 1 is the combo box's own text; try k >= 2 puts list item k - 2 into the
// combo box, so it always shows the server being tried. There is no
// wrap-around and the first server is not skipped: A,B,C with B chosen gives
// B, A, B, C.
void try_servers(App& app) {
  Controls& c = app.ports.controls;
  MessagePump& pump = app.ports.pump;
  const int item_count = c.item_count(Id::组合框1);
  for (int k = 1; k <= item_count + 1; ++k) {
    if (k >= 2) c.set_text(Id::组合框1, c.item_text(Id::组合框1, k - 2));
    const std::string url = c.text(Id::组合框1);
    pump.wait_processing(1);
    if (app.ports.time_query.query_server_time(url, app.state.server_time)) {
      on_server_answered(app);
      return;
    }
    if (!c.ticked(Id::选择框_自动尝试下一服务器)) return;
    pump.process_pending();
    pump.wait_processing(1);
  }
}

void run_with_network(App& app) {
  Controls& c = app.ports.controls;
  app.state.server_time_valid = false;
  c.set_enabled(Id::图形按钮_获取时间, false);
  c.set_enabled(Id::图形按钮_开始校准, false);
  try_servers(app);
  // A run nested in one of the waits may have found a server meanwhile; its
  // time then stands and the buttons stay as it left them.
  if (!app.state.server_time_valid) {
    c.set_text(Id::编辑框_服务器时间, kNoServer);
    c.set_enabled(Id::图形按钮_获取时间, true);
  }
}

void show_outcome_tip(App& app, const char* text) {
  app.ports.balloon.show_balloon_tip(app.ports.screen.width() - kTipOffsetX,
                                     app.ports.screen.height() - kTipOffsetY, text, kNoIcon, true);
}

}  // namespace

void run_calibration(App& app) {
  Controls& c = app.ports.controls;
  c.set_text(Id::编辑框_服务器时间, kSearching);
  if (app.ports.network.connected()) {
    run_with_network(app);
  } else {
    // The buttons and the validity of an earlier server time are left alone.
    app.ports.pump.wait_processing(kNoNetworkPauseMs);
    c.set_text(Id::编辑框_服务器时间, kNoNetworkText);
  }
  // Whatever the outcome; the same period leaves a counting timer undisturbed.
  if (c.ticked(Id::选择框_间隔校时)) c.set_timer_period(Id::时钟_间隔校时, kIntervalTickMs);
}

void set_clock_from_server_time(App& app) {
  BalloonTip& tip = app.ports.balloon;
  // Rounded to the whole second, milliseconds 0, with the day of the week.
  if (app.ports.clock.set_local_time(split_date_time(app.state.server_time))) {
    tip.set_no_auto_hide(false);
    show_outcome_tip(app, kClockSet);
    if (app.ports.controls.ticked(Id::选择框_自动退出)) app.state.auto_exit_pending = true;
  } else {
    // The failure tip stays up until the user dismisses it.
    tip.set_no_auto_hide(true);
    show_outcome_tip(app, kClockNotSet);
  }
}

}  // namespace lanchuan
