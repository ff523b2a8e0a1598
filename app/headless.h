// The window's ports without a window, for the console companion: controls
// kept in memory, a balloon tip that only remembers its text, a pump that just
// sleeps. A calibration run through these takes exactly the window's road.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "app/ports.h"
#include "update/update_ports.h"

namespace lanchuan {

class HeadlessControls : public Controls {
 public:
  std::string text(ControlId id) const override { return at(id).text; }
  void set_text(ControlId id, const std::string& text) override { at(id).text = text; }
  bool ticked(ControlId id) const override { return at(id).ticked; }
  void set_ticked(ControlId id, bool ticked) override { at(id).ticked = ticked; }
  bool enabled(ControlId id) const override { return at(id).enabled; }
  void set_enabled(ControlId id, bool enabled) override { at(id).enabled = enabled; }
  int timer_period(ControlId id) const override { return at(id).period; }
  void set_timer_period(ControlId id, int period_ms) override {
    at(id).period = period_ms > 0 ? period_ms : 0;
  }
  void give_focus(ControlId) override {}
  int item_count(ControlId id) const override { return static_cast<int>(at(id).items.size()); }
  std::string item_text(ControlId id, int index) const override {
    const auto& items = at(id).items;
    return index >= 0 && index < static_cast<int>(items.size()) ? items[index] : std::string();
  }
  int width(ControlId) const override { return 0; }
  int height(ControlId) const override { return 0; }

  void set_items(ControlId id, std::vector<std::string> items) { at(id).items = std::move(items); }

 private:
  struct State {
    std::string text;
    bool ticked = false;
    bool enabled = true;
    int period = 0;
    std::vector<std::string> items;
  };
  State& at(ControlId id) { return states_[static_cast<size_t>(index_of(id))]; }
  const State& at(ControlId id) const { return states_[static_cast<size_t>(index_of(id))]; }
  std::array<State, kControlCount> states_;
};

class HeadlessBalloon : public BalloonTip {
 public:
  void show_balloon_tip(int, int, const std::string& text, int, bool) override {
    tips.push_back(text);
  }
  void set_no_auto_hide(bool) override {}
  std::vector<std::string> tips;
};

class NullCanvas : public Canvas {
 public:
  void clear() override {}
  void set_pen(int, std::uint8_t, std::uint8_t, std::uint8_t) override {}
  void line(int, int, int, int) override {}
  void ellipse(int, int, int, int) override {}
};

// Waits by sleeping: there are no window messages to handle.
class SleepingPump : public MessagePump {
 public:
  void wait_processing(int ms) override;
  void process_pending() override {}
};

class NullScreen : public Screen {
 public:
  int width() override { return 0; }
  int height() override { return 0; }
};

class NullMainWindow : public MainWindow {
 public:
  void post_close() override {}
  void send_close() override {}
  void apply_look(int) override {}
  void apply_rounded_region(int) override {}
  void add_tray_icon() override {}
  void remove_tray_icon() override {}
  void minimise() override {}
  void show_normal() override {}
  void move_to(int, int) override {}
  void drag_by_caption() override {}
  void bring_to_foreground() override {}
  void cursor_pos(int& x, int& y) override { x = y = 0; }
  void track_tray_menu(int, int) override {}
};

// Settings that are neither read from nor written to any file.
class NullSettings : public SettingsStore {
 public:
  std::string read(const std::string&, const std::string&, const std::string& def) override {
    return def;
  }
  void write(const std::string&, const std::string&, const std::string&) override {}
};

class NullLogonShortcuts : public LogonShortcuts {
 public:
  std::string startup_folder() override { return std::string(); }
  std::string program_folder() override { return std::string(); }
  std::string program_file_name() override { return std::string(); }
  bool create_shortcut(const std::string&, const ShortcutFields&) override { return false; }
  void delete_file(const std::string&) override {}
  bool file_exists(const std::string&) override { return false; }
};

class NullUpdatePorts : public UrlFetcher,
                        public UserPrompt,
                        public FileDownloader,
                        public WebOpener {
 public:
  std::string fetch_url_bytes(const std::string&) override { return std::string(); }
  bool ask_ok_cancel(const std::string&, const std::string&) override { return false; }
  void download_new_version(const std::string&) override {}
  void open_web_address(const std::string&) override {}
};

}  // namespace lanchuan
