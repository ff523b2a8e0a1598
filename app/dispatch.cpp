#include "app/dispatch.h"

#include "app/handlers.h"

namespace lanchuan {

void dispatch(App& app, Handler handler, int arg) {
  // A switch without default: the compiler names any Handler left out.
  switch (handler) {
    case Handler::on_main_window_created:
      return on_main_window_created(app);
    case Handler::on_main_window_destroying:
      return on_main_window_destroying(app);
    case Handler::on_tray_event:
      return on_tray_event(app, arg);
    case Handler::on_escape_pressed:
      return on_escape_pressed(app);
    case Handler::on_title_pressed:
      return on_title_pressed(app);
    case Handler::on_settings_clicked:
      return on_settings_clicked(app);
    case Handler::on_minimise_clicked:
      return on_minimise_clicked(app);
    case Handler::on_close_clicked:
      return on_close_clicked(app);
    case Handler::on_page_right_pressed:
      return on_page_right_pressed(app);
    case Handler::run_calibration:
      return run_calibration(app);
    case Handler::set_clock_from_server_time:
      return set_clock_from_server_time(app);
    case Handler::save_server_choice:
      return save_server_choice(app);
    case Handler::on_failover_option_clicked:
      return on_failover_option_clicked(app);
    case Handler::on_interval_option_clicked:
      return on_interval_option_clicked(app);
    case Handler::on_delayed_option_clicked:
      return on_delayed_option_clicked(app);
    case Handler::on_exit_option_clicked:
      return on_exit_option_clicked(app);
    case Handler::on_logon_option_clicked:
      return on_logon_option_clicked(app);
    case Handler::on_bottom_bar_clicked:
      return on_bottom_bar_clicked(app);
    case Handler::on_second_tick:
      return on_second_tick(app);
    case Handler::on_interval_tick:
      return on_interval_tick(app);
    case Handler::on_update_timer:
      return on_update_timer(app);
    case Handler::open_more_software_page:
      return open_more_software_page(app);
    case Handler::on_exit_chosen:
      return on_exit_chosen(app);
    case Handler::kCount:
      return;
  }
}

}  // namespace lanchuan
