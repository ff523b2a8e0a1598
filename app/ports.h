// The small interfaces through which the handlers reach the window and the
// system. The window (ui/) and the Win32 adapters beside the handlers
// (app/*_win32) implement them; the unit tests implement them with fakes
// (tests/fakes/).
#pragma once

#include <cstdint>
#include <string>

#include "app/control_id.h"
#include "base/datetime.h"

namespace lanchuan {

// The control operations of the main window.
class Controls {
 public:
  virtual ~Controls() = default;
  // Edit boxes, 组合框1 (its edit part), 标签_底栏.
  virtual std::string text(ControlId id) const = 0;
  virtual void set_text(ControlId id, const std::string& text) = 0;
  // Check boxes. Setting does not run the click handler.
  virtual bool ticked(ControlId id) const = 0;
  virtual void set_ticked(ControlId id, bool ticked) = 0;
  // Edit boxes and image buttons.
  virtual bool enabled(ControlId id) const = 0;
  virtual void set_enabled(ControlId id, bool enabled) = 0;
  // Timers: 0 or less stops; a positive period different from the current one
  // (re)starts; the same period changes nothing.
  virtual int timer_period(ControlId id) const = 0;
  virtual void set_timer_period(ControlId id, int period_ms) = 0;
  virtual void give_focus(ControlId id) = 0;
  // 组合框1's list.
  virtual int item_count(ControlId id) const = 0;
  virtual std::string item_text(ControlId id, int index) const = 0;
  // 画板1's size.
  virtual int width(ControlId id) const = 0;
  virtual int height(ControlId id) const = 0;
};

// 气球提示框1.
class BalloonTip {
 public:
  virtual ~BalloonTip() = default;
  virtual void show_balloon_tip(int x, int y, const std::string& text, int icon_index,
                                bool keep_style) = 0;
  virtual void set_no_auto_hide(bool no_auto_hide) = 0;
};

// Drawing on 画板1.
class Canvas {
 public:
  virtual ~Canvas() = default;
  virtual void clear() = 0;
  virtual void set_pen(int width, std::uint8_t r, std::uint8_t g, std::uint8_t b) = 0;
  virtual void line(int x1, int y1, int x2, int y2) = 0;
  virtual void ellipse(int left, int top, int right, int bottom) = 0;
  virtual void present() {}  // end of one drawing (double buffering)
};

// The local clock.
class Clock {
 public:
  virtual ~Clock() = default;
  // Current local date-time in whole seconds.
  virtual DateTime now_local() = 0;
  // SetLocalTime; true when the clock now shows the given time.
  virtual bool set_local_time(const DateTimeParts& parts) = 0;
};

// InternetGetConnectedState, result exactly 1.
class NetworkState {
 public:
  virtual ~NetworkState() = default;
  virtual bool connected() = 0;
};

class MessagePump {
 public:
  virtual ~MessagePump() = default;
  // Handles window messages until more than `ms` milliseconds have passed.
  virtual void wait_processing(int ms) = 0;
  // Handles the messages already queued and returns.
  virtual void process_pending() = 0;
};

// Profile-string functions on the settings file.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual std::string read(const std::string& section, const std::string& key,
                           const std::string& default_value) = 0;
  virtual void write(const std::string& section, const std::string& key,
                     const std::string& value) = 0;
};

class Screen {
 public:
  virtual ~Screen() = default;
  virtual int width() = 0;
  virtual int height() = 0;
};

// What the handlers ask of the main window itself (chrome, tray, menu).
class MainWindow {
 public:
  virtual ~MainWindow() = default;
  virtual void post_close() = 0;  // destruction, asynchronously
  virtual void send_close() = 0;  // WM_CLOSE (Esc)
  virtual void apply_look(int colour_scheme) = 0;
  virtual void apply_rounded_region(int ellipse) = 0;
  virtual void add_tray_icon() = 0;
  virtual void remove_tray_icon() = 0;
  virtual void minimise() = 0;
  virtual void show_normal() = 0;
  virtual void move_to(int x, int y) = 0;
  virtual void drag_by_caption() = 0;  // WM_NCLBUTTONDOWN, HTCAPTION
  virtual void bring_to_foreground() = 0;
  virtual void cursor_pos(int& x, int& y) = 0;
  // Pops the tray menu up (TPM_RIGHTALIGN) at (x, y), posts WM_NULL and
  // destroys it once closed; the chosen item's handler runs from the loop.
  virtual void track_tray_menu(int x, int y) = 0;
};

// The logon shortcut in the user's Startup folder.
struct ShortcutFields {
  std::string target;
  std::string arguments;
  std::string description;
  std::string working_directory;
  int show_command = 5;
};

class LogonShortcuts {
 public:
  virtual ~LogonShortcuts() = default;
  // HKCU ...\Explorer\Shell Folders "Startup"; empty when missing.
  virtual std::string startup_folder() = 0;
  virtual std::string program_folder() = 0;
  virtual std::string program_file_name() = 0;
  virtual bool create_shortcut(const std::string& path, const ShortcutFields& fields) = 0;
  virtual void delete_file(const std::string& path) = 0;
  virtual bool file_exists(const std::string& path) = 0;  // FindFirstFileA
};

}  // namespace lanchuan
