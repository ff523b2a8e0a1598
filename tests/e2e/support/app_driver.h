// Drives LanchuanTimeSync.exe from outside, as a user would, through window
// messages: start it (with or without a settings file), find its controls by
// their ids, read their texts and states, click and type, watch it end.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "app/control_id.h"

namespace lanchuan::e2e {

constexpr const char* kSettingsFile = "C:\\Windows\\ZOzavu.ini";

// Polls `condition` until it holds or `timeout_ms` has passed.
bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms, DWORD poll_ms = 20);

// The longest a window that waits on the network may go without answering.
// Windows takes a window for hung (and shows a ghost of it) once it has not
// looked at its messages for 5 s; half that leaves a busy machine room to
// hold the window's thread up for a moment, while a window blocked until a
// request's deadline stays silent ten times as long.
constexpr DWORD kLongestSilenceMs = 2500;

// Asks a window WM_NULL, each time waiting at most 200 ms for the answer, and
// keeps the longest time it went without one: a probe that a busy machine
// answers late is not a fault, a silence of seconds is.
class AnswerWatch {
 public:
  explicit AnswerWatch(HWND window);
  bool probe();  // true when the window answered in time
  // The longest time between answers (or from the start to the first one, or
  // from the last one to now), in ms.
  DWORD longest_silence_ms() const;
  int probes() const { return probes_; }
  int missed() const { return missed_; }

 private:
  HWND window_;
  DWORD last_answer_;
  DWORD longest_ = 0;
  int probes_ = 0;
  int missed_ = 0;
};

// The settings file, in GBK bytes as the program reads it.
bool write_settings_file(const std::string& gbk_content);
void delete_settings_file();

class AppDriver {
 public:
  AppDriver() = default;
  ~AppDriver();  // a program still running is killed
  AppDriver(const AppDriver&) = delete;
  AppDriver& operator=(const AppDriver&) = delete;

  // Starts the program from the test exe's folder and waits until its main
  // window is shown and the program waits for input.
  bool start(DWORD timeout_ms = 20000);
  bool running() const;
  // The exit code once the program has ended within `timeout_ms`.
  bool wait_for_exit(DWORD timeout_ms, DWORD* exit_code = nullptr);
  void kill();

  HWND main_window() const { return main_; }
  DWORD process_id() const { return pi_.dwProcessId; }
  HANDLE process_handle() const { return pi_.hProcess; }
  DWORD thread_id() const { return GetWindowThreadProcessId(main_, nullptr); }
  // GetDlgItem on the control's parent; null for timers and the balloon tip.
  HWND control(ControlId id) const;
  // A visible top-level window of the program with this class, or null.
  HWND top_level_window(const char* class_name) const;
  HWND focused_window() const;

  // WM_GETTEXT, answered by the program itself (the current text).
  std::string text(HWND hwnd) const;
  std::string text(ControlId id) const { return text(control(id)); }
  bool enabled(ControlId id) const { return IsWindowEnabled(control(id)) != FALSE; }
  bool ticked(ControlId id) const;
  // The control's rectangle relative to the main window's top-left corner.
  RECT rect_in_window(ControlId id) const;

  // SendMessageTimeout; 0 when the program did not answer.
  LRESULT send(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) const;
  void post(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) const { PostMessageA(hwnd, msg, wp, lp); }
  // A left click by posted button messages at a point of the control (its
  // centre by default).
  void mouse_click(ControlId id, int x = -1, int y = -1) const;
  void post_char(ControlId id, unsigned code) const { post(control(id), WM_CHAR, code, 1); }
  void post_key(HWND hwnd, UINT vk) const;

  // Saves what the screen shows of the main window (or of `window`) as
  // %LANCHUAN_ARTIFACT_DIR%\<name>.bmp (the rig makes a .png of it).
  bool save_screenshot(const std::string& name, HWND window = nullptr) const;

 private:
  PROCESS_INFORMATION pi_{};
  HANDLE fault_wait_ = nullptr;  // ends the test at once if the program faults
  HWND main_ = nullptr;
};

}  // namespace lanchuan::e2e
