// Every handler of the event table and the operations they share. Each is
// defined in the file of its own subject; the event table (app/events.cpp)
// names the ones that events run.
#pragma once

#include "app/app.h"

namespace lanchuan {

// Start-up and lifecycle (app/startup.cpp).
void on_main_window_created(App& app);
void on_main_window_destroying(App& app);
void hide_to_tray(App& app);
void restore_from_tray(App& app);
void on_tray_event(App& app, int kind);

// Chrome (app/chrome.cpp).
void on_title_pressed(App& app);
void on_settings_clicked(App& app);
void on_minimise_clicked(App& app);
void on_close_clicked(App& app);
void on_page_right_pressed(App& app);
void on_exit_chosen(App& app);
void on_failover_option_clicked(App& app);
void on_escape_pressed(App& app);
void pop_up_tray_menu(App& app);

// Settings (app/settings.cpp).
void restore_server_choice(App& app);
void restore_calibration_options(App& app);
void save_server_choice(App& app);

// Countdowns (app/countdowns.cpp).
void prepare_countdowns(App& app);
void on_second_tick(App& app);
void on_interval_tick(App& app);
void on_interval_option_clicked(App& app);
void on_delayed_option_clicked(App& app);
void on_exit_option_clicked(App& app);
void switch_interval_off(App& app);

// Clock face (app/clock_face.cpp).
void init_clock_face(App& app);  // the centre and the first drawing
void draw_clock_face(App& app);

// Calibration (app/calibration.cpp).
// What 编辑框_服务器时间 shows when a run finds no network connection.
constexpr const char* kNoNetworkText = "未连接网络......";
void run_calibration(App& app);
void set_clock_from_server_time(App& app);

// Start at logon (app/logon.cpp).
void restore_logon_option(App& app);
void on_logon_option_clicked(App& app);

// Update check (app/update_check.cpp).
void set_default_status_link(App& app);
void on_update_timer(App& app);
void on_bottom_bar_clicked(App& app);
void open_more_software_page(App& app);

}  // namespace lanchuan
