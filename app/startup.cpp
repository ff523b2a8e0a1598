// Program start-up, the tray icon and hiding to the tray.
#include "app/events.h"
#include "app/handlers.h"

namespace lanchuan {

namespace {
using Id = ControlId;

constexpr int kColourSchemeBlue = 1;
constexpr int kRegionEllipse = 4;
constexpr int kOffScreen = 3200;

}  // namespace

// The start-up, in an order that matters: the settings are restored before the
// countdowns are armed (they read the restored options), and the status link
// is set last, ready for the update check's first timer tick.
void on_main_window_created(App& app) {
  AppPorts& p = app.ports;
  p.window.apply_look(kColourSchemeBlue);
  p.window.apply_rounded_region(kRegionEllipse);
  restore_logon_option(app);
  restore_server_choice(app);
  restore_calibration_options(app);
  // No server time yet: nothing to set the clock to.
  app.state.server_time_valid = false;
  p.controls.set_enabled(Id::图形按钮_开始校准, false);
  p.window.add_tray_icon();
  prepare_countdowns(app);
  p.controls.set_text(Id::编辑框_系统时间, format_date_time(p.clock.now_local()));
  init_clock_face(app);
  p.controls.give_focus(Id::图形按钮_获取时间);
  set_default_status_link(app);
}

void on_main_window_destroying(App& app) { app.ports.window.remove_tray_icon(); }

void hide_to_tray(App& app) {
  app.ports.window.minimise();
  app.ports.window.move_to(kOffScreen, kOffScreen);
  app.state.hidden_to_tray = true;
}

void restore_from_tray(App& app) {
  app.ports.window.show_normal();
  app.state.hidden_to_tray = false;
}

void on_tray_event(App& app, int kind) {
  switch (kind) {
    case kTrayLeftUp:
      if (app.state.hidden_to_tray) {
        restore_from_tray(app);
      } else {
        hide_to_tray(app);
      }
      break;
    case kTrayRightUp:
      pop_up_tray_menu(app);
      break;
    case kTrayLeftDoubleClick:
    default:
      break;
  }
}

}  // namespace lanchuan
