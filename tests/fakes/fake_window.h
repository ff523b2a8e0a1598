// The balloon tip, the canvas and the main window itself, as records of what
// the handlers asked of them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/ports.h"

namespace lanchuan::fakes {

struct BalloonShow {
  int x;
  int y;
  std::string text;
  int icon_index;
  bool keep_style;
  bool no_auto_hide;  // the switch's value when the tip was shown
};

class FakeBalloon : public BalloonTip {
 public:
  void show_balloon_tip(int x, int y, const std::string& text, int icon_index,
                        bool keep_style) override {
    shows.push_back({x, y, text, icon_index, keep_style, no_auto_hide});
    log.push_back("show");
  }
  void set_no_auto_hide(bool value) override {
    no_auto_hide = value;
    log.push_back(value ? "no_auto_hide on" : "no_auto_hide off");
  }

  bool no_auto_hide = false;
  std::vector<BalloonShow> shows;
  std::vector<std::string> log;  // both kinds of call, in order
};

// Each drawing call as a line of text: "clear", "pen 3 192 192 192",
// "line 40 25 40 40", "ellipse 37 37 43 43", "present".
class FakeCanvas : public Canvas {
 public:
  void clear() override { ops.push_back("clear"); }
  void set_pen(int width, std::uint8_t r, std::uint8_t g, std::uint8_t b) override {
    ops.push_back("pen " + std::to_string(width) + " " + std::to_string(r) + " " +
                  std::to_string(g) + " " + std::to_string(b));
  }
  void line(int x1, int y1, int x2, int y2) override {
    ops.push_back("line " + join(x1, y1, x2, y2));
  }
  void ellipse(int left, int top, int right, int bottom) override {
    ops.push_back("ellipse " + join(left, top, right, bottom));
  }
  void present() override { ops.push_back("present"); }

  std::vector<std::string> ops;

 private:
  static std::string join(int a, int b, int c, int d) {
    return std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + " " +
           std::to_string(d);
  }
};

// Every call is logged by name ("post_close", "move_to 3200 3200", ...).
class FakeMainWindow : public MainWindow {
 public:
  void post_close() override {
    ++post_close_count;
    log.push_back("post_close");
  }
  void send_close() override {
    ++send_close_count;
    log.push_back("send_close");
  }
  void apply_look(int colour_scheme) override {
    log.push_back("apply_look " + std::to_string(colour_scheme));
  }
  void apply_rounded_region(int ellipse) override {
    log.push_back("apply_rounded_region " + std::to_string(ellipse));
  }
  void add_tray_icon() override {
    tray_icon_up = true;
    log.push_back("add_tray_icon");
  }
  void remove_tray_icon() override {
    tray_icon_up = false;
    log.push_back("remove_tray_icon");
  }
  void minimise() override { log.push_back("minimise"); }
  void show_normal() override { log.push_back("show_normal"); }
  void move_to(int x, int y) override {
    log.push_back("move_to " + std::to_string(x) + " " + std::to_string(y));
  }
  void drag_by_caption() override { log.push_back("drag_by_caption"); }
  void bring_to_foreground() override { log.push_back("bring_to_foreground"); }
  void cursor_pos(int& x, int& y) override {
    x = cursor_x;
    y = cursor_y;
    log.push_back("cursor_pos");
  }
  void track_tray_menu(int x, int y) override {
    log.push_back("track_tray_menu " + std::to_string(x) + " " + std::to_string(y));
    if (on_track_tray_menu) on_track_tray_menu(x, y);
  }

  int post_close_count = 0;
  int send_close_count = 0;
  bool tray_icon_up = false;
  int cursor_x = 0;
  int cursor_y = 0;
  std::function<void(int, int)> on_track_tray_menu;  // e.g. choose an item
  std::vector<std::string> log;
};

}  // namespace lanchuan::fakes
