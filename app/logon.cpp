#include "app/logon.h"

#include "app/handlers.h"

namespace lanchuan {
namespace {

// The registry is read again each time: the user may move the Startup folder
// while the tool runs.
std::string current_shortcut_path(App& app) {
  return logon_shortcut_path(app.ports.logon.startup_folder());
}

ShortcutFields logon_shortcut_fields(LogonShortcuts& logon) {
  ShortcutFields fields;
  const std::string folder = logon.program_folder();
  fields.target = folder + "\\" + logon.program_file_name();
  fields.arguments = kLogonArguments;
  fields.description = kLogonDescription;
  fields.working_directory = folder;
  fields.show_command = kLogonShowCommand;
  return fields;
}

}  // namespace

std::string logon_shortcut_path(const std::string& startup_folder) {
  return startup_folder + "\\" + kLogonShortcutName;
}

void restore_logon_option(App& app) {
  const bool exists = app.ports.logon.file_exists(current_shortcut_path(app));
  app.ports.controls.set_ticked(ControlId::选择框_开机后自动启动, exists);
}

void on_logon_option_clicked(App& app) {
  LogonShortcuts& logon = app.ports.logon;
  Controls& controls = app.ports.controls;
  if (controls.ticked(ControlId::选择框_开机后自动启动)) {
    const std::string path = current_shortcut_path(app);
    logon.create_shortcut(path, logon_shortcut_fields(logon));
  } else {
    logon.delete_file(current_shortcut_path(app));
  }
  // Whatever the outcome, the option shows what is really there now.
  controls.set_ticked(ControlId::选择框_开机后自动启动,
                      logon.file_exists(current_shortcut_path(app)));
  controls.give_focus(ControlId::图形按钮_获取时间);
}

}  // namespace lanchuan
