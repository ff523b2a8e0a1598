// Program start-up, the tray icon and hiding to the tray.
#include "app/handlers.h"

namespace lanchuan {

namespace {
using Id = ControlId;

constexpr int kColourSchemeBlue = 1;
constexpr int kRegionEllipse = 4;
constexpr int kOffScreen = 3200;

enum TrayEventKind { kTrayLeftUp = 1, kTrayLeftDoubleClick = 2, kTrayRightUp = 3 };
}  // namespace

// The whole start-up in its fixed order; steps of other subsystems are the
// calls into their files.
void on_main_window_created(App& app) {
  AppPorts& p = app.ports;
  p.window.apply_look(kColourSchemeBlue);                                           // 1
  p.window.apply_rounded_region(kRegionEllipse);                                    // 2
  restore_logon_option(app);                                                        // 3
  restore_server_choice(app);                                                       // 4
  restore_calibration_options(app);                                                 // 5
  app.state.server_time_valid = false;                                              // 6
  p.controls.set_enabled(Id::图形按钮_开始校准, false);                             // 7
  p.window.add_tray_icon();                                                         // 8
  prepare_countdowns(app);                                                          // 9, 10
  p.controls.set_text(Id::编辑框_系统时间, format_date_time(p.clock.now_local()));  // 11
  init_clock_face(app);                                                             // 12
  p.controls.give_focus(Id::图形按钮_获取时间);                                     // 13
  set_default_status_link(app);                                                     // 14
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
