// The handlers of the window chrome: title drag, title-band buttons, Esc and
// the tray menu.
#include "app/handlers.h"

namespace lanchuan {

namespace {
// The menu's top-right corner sits this far up and left of the mouse.
constexpr int kMenuOffset = 5;
}  // namespace

void on_title_pressed(App& app) { app.ports.window.drag_by_caption(); }

void on_settings_clicked(App& app) { pop_up_tray_menu(app); }

void on_minimise_clicked(App& app) { hide_to_tray(app); }

void on_close_clicked(App& app) { app.ports.window.post_close(); }

void on_page_right_pressed(App& app) { pop_up_tray_menu(app); }

void on_exit_chosen(App& app) { app.ports.window.post_close(); }

void on_failover_option_clicked(App& app) {
  // The option is read when a server fails; it is deliberately not saved.
  app.ports.controls.give_focus(ControlId::图形按钮_获取时间);
}

void on_escape_pressed(App& app) { app.ports.window.send_close(); }

void pop_up_tray_menu(App& app) {
  MainWindow& window = app.ports.window;
  window.bring_to_foreground();
  int x = 0;
  int y = 0;
  window.cursor_pos(x, y);
  // The chosen item's handler runs later, from the message loop.
  window.track_tray_menu(x - kMenuOffset, y - kMenuOffset);
}

}  // namespace lanchuan
