// Restoring the chosen server and the calibration options at start-up, and
// storing the server when the combo box loses the focus. The option clicks
// write their own keys (app/countdowns.cpp).
#include "app/settings.h"

#include "app/handlers.h"

namespace lanchuan {

namespace {

using Id = ControlId;

std::string read_option(App& app, const char* key, const char* default_value) {
  return app.ports.settings.read(settings::kOptionsSection, key, default_value);
}

// The interval option excludes the other two, so their keys are not even read:
// a file that has both on restores only the interval.
void restore_interval_option(App& app) {
  Controls& c = app.ports.controls;
  c.set_ticked(Id::选择框_间隔校时, true);
  c.set_enabled(Id::编辑框_间隔秒, false);
  const std::string seconds =
      read_option(app, settings::kIntervalSecondsKey, settings::kDefaultIntervalSeconds);
  c.set_text(Id::编辑框_间隔秒, seconds);
  app.state.saved_interval_text = seconds;
  c.set_timer_period(Id::时钟_间隔校时, 1000);
}

void restore_delayed_and_exit_options(App& app) {
  Controls& c = app.ports.controls;
  if (settings::is_yes(read_option(app, settings::kDelayedOnKey, settings::kNo))) {
    c.set_text(Id::编辑框_延迟秒,
               read_option(app, settings::kDelaySecondsKey, settings::kDefaultDelaySeconds));
    c.set_enabled(Id::编辑框_延迟秒, false);
    c.set_ticked(Id::选择框_自动校准, true);
  }
  if (settings::is_yes(read_option(app, settings::kExitOnKey, settings::kNo))) {
    c.set_ticked(Id::选择框_自动退出, true);
  }
}

}  // namespace

void restore_server_choice(App& app) {
  Controls& c = app.ports.controls;
  // Any text is taken, also a site the user typed that is not in the list.
  const std::string current = c.text(Id::组合框1);
  c.set_text(Id::组合框1,
             app.ports.settings.read(settings::kServerSection, settings::kServerKey, current));
}

void restore_calibration_options(App& app) {
  if (settings::is_yes(read_option(app, settings::kIntervalOnKey, settings::kNo))) {
    restore_interval_option(app);
  } else {
    restore_delayed_and_exit_options(app);
  }
}

void save_server_choice(App& app) {
  app.ports.settings.write(settings::kServerSection, settings::kServerKey,
                           app.ports.controls.text(Id::组合框1));
}

}  // namespace lanchuan
