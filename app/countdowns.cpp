// The one-second tick, the interval countdown and the three calibration
// options. The seconds boxes are the counters themselves: their text is read,
// decremented and written back on every tick.
#include <string>

#include "app/handlers.h"
#include "app/settings.h"
#include "base/gbk_text.h"

namespace lanchuan {

namespace {

using Id = ControlId;

constexpr int kTickMs = 1000;
constexpr int kSecondUnit = 8;

// x = 1 still counts down to 0; x = 0, a negative number and a text that is no
// number run out.
bool has_run_out(double x) { return x - 1 < -1e-7; }

void write_option(App& app, const char* key, const std::string& value) {
  app.ports.settings.write(settings::kOptionsSection, key, value);
}

std::string exit_message(int seconds) {
  return "校准完成 " + std::to_string(seconds) + " 秒后自动退出";
}

void show_server_time_or_exit_countdown(App& app) {
  AppState& st = app.state;
  Controls& c = app.ports.controls;
  if (c.ticked(Id::选择框_自动退出) && st.auto_exit_pending) {
    if (st.exit_countdown < 0) {
      app.ports.window.post_close();
    } else {
      c.set_text(Id::编辑框_服务器时间, exit_message(st.exit_countdown));
      --st.exit_countdown;
    }
  } else {
    c.set_text(Id::编辑框_服务器时间, format_date_time(st.server_time));
  }
  // The held server time runs on like a clock, so a later press of
  // 图形按钮_开始校准 sets the time as carried forward to that moment.
  st.server_time = add_to_date_time(st.server_time, kSecondUnit, 1);
}

void count_delayed_run_down(App& app) {
  Controls& c = app.ports.controls;
  const double x = text_to_number(c.text(Id::编辑框_延迟秒));
  if (has_run_out(x)) {
    // Latched before the run: the run processes messages while it waits, and
    // the ticks handled there must not start a second delayed run.
    app.state.delayed_run_done = true;
    run_calibration(app);
  } else {
    c.set_text(Id::编辑框_延迟秒, format_g13(x - 1));
  }
}

}  // namespace

void prepare_countdowns(App& app) {
  app.state.delayed_run_done = !app.ports.controls.ticked(Id::选择框_自动校准);
  app.state.exit_countdown = 5;
}

void on_second_tick(App& app) {
  Controls& c = app.ports.controls;
  c.set_text(Id::编辑框_系统时间, format_date_time(app.ports.clock.now_local()));
  if (app.state.server_time_valid) show_server_time_or_exit_countdown(app);
  if (c.ticked(Id::选择框_自动校准) && !app.state.delayed_run_done) count_delayed_run_down(app);
  draw_clock_face(app);
}

void on_interval_tick(App& app) {
  Controls& c = app.ports.controls;
  const double x = text_to_number(c.text(Id::编辑框_间隔秒));
  if (has_run_out(x)) {
    // Stopped first so that no tick of this timer arrives during its own run;
    // the run re-arms it at its end if the option is still ticked.
    c.set_timer_period(Id::时钟_间隔校时, 0);
    run_calibration(app);
    c.set_text(Id::编辑框_间隔秒, app.state.saved_interval_text);
  } else {
    c.set_text(Id::编辑框_间隔秒, format_g13(x - 1));
  }
}

void on_interval_option_clicked(App& app) {
  Controls& c = app.ports.controls;
  if (c.ticked(Id::选择框_间隔校时)) {
    write_option(app, settings::kIntervalOnKey, settings::kYes);
    const std::string seconds = c.text(Id::编辑框_间隔秒);
    write_option(app, settings::kIntervalSecondsKey, seconds);
    app.state.saved_interval_text = seconds;
    if (c.ticked(Id::选择框_自动校准)) {
      c.set_ticked(Id::选择框_自动校准, false);
      c.set_enabled(Id::编辑框_延迟秒, true);
      write_option(app, settings::kDelayedOnKey, settings::kNo);
    }
    if (c.ticked(Id::选择框_自动退出)) {
      c.set_ticked(Id::选择框_自动退出, false);
      write_option(app, settings::kExitOnKey, settings::kNo);
    }
    c.set_enabled(Id::编辑框_间隔秒, false);
    c.set_timer_period(Id::时钟_间隔校时, kTickMs);
  } else {
    c.set_timer_period(Id::时钟_间隔校时, 0);
    write_option(app, settings::kIntervalOnKey, settings::kNo);
    c.set_enabled(Id::编辑框_间隔秒, true);
    c.set_text(Id::编辑框_间隔秒, app.state.saved_interval_text);  // undoes a partial count
  }
  c.give_focus(Id::图形按钮_获取时间);
}

void switch_interval_off(App& app) {
  Controls& c = app.ports.controls;
  if (c.ticked(Id::选择框_间隔校时)) {
    c.set_ticked(Id::选择框_间隔校时, false);
    c.set_timer_period(Id::时钟_间隔校时, 0);
    c.set_text(Id::编辑框_间隔秒, app.state.saved_interval_text);
  }
  c.set_enabled(Id::编辑框_间隔秒, true);
  write_option(app, settings::kIntervalOnKey, settings::kNo);
}

void on_delayed_option_clicked(App& app) {
  Controls& c = app.ports.controls;
  if (c.ticked(Id::选择框_自动校准)) {
    // delayed_run_done is left alone: ticking takes effect at the next start,
    // or resumes a countdown that was paused by unticking.
    write_option(app, settings::kDelayedOnKey, settings::kYes);
    write_option(app, settings::kDelaySecondsKey, c.text(Id::编辑框_延迟秒));
    c.set_enabled(Id::编辑框_延迟秒, false);
    switch_interval_off(app);
  } else {
    c.set_enabled(Id::编辑框_延迟秒, true);
    write_option(app, settings::kDelayedOnKey, settings::kNo);
    c.set_text(Id::编辑框_延迟秒,
               app.ports.settings.read(settings::kOptionsSection, settings::kDelaySecondsKey,
                                       settings::kDefaultDelaySeconds));
  }
  c.give_focus(Id::图形按钮_获取时间);
}

void on_exit_option_clicked(App& app) {
  Controls& c = app.ports.controls;
  if (c.ticked(Id::选择框_自动退出)) {
    write_option(app, settings::kExitOnKey, settings::kYes);
    switch_interval_off(app);
  } else {
    write_option(app, settings::kExitOnKey, settings::kNo);
  }
  c.give_focus(Id::图形按钮_获取时间);
}

}  // namespace lanchuan
