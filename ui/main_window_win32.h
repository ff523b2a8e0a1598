// The main window: a frameless popup with the skin picture, owned by a hidden
// window so that it never has a taskbar button. It creates its controls from
// the layout, routes every control event through the event table to the
// handlers, and carries out what the handlers ask of the window itself.
#pragma once

#include <windows.h>

#include "app/app.h"
#include "app/events.h"
#include "platform/win32/handles_win32.h"
#include "ui/balloon_tip_win32.h"
#include "ui/canvas_win32.h"
#include "ui/control_set_win32.h"
#include "ui/pictures_win32.h"
#include "ui/tray_icon_win32.h"

namespace lanchuan::win32 {

// The command of the tray menu's first item; the others follow in order.
constexpr int kFirstMenuCommand = 1;

class MainWindowWin32 : public MainWindow {
 public:
  explicit MainWindowWin32(HINSTANCE instance);
  MainWindowWin32(const MainWindowWin32&) = delete;
  MainWindowWin32& operator=(const MainWindowWin32&) = delete;

  Controls& controls() { return controls_; }
  BalloonTip& balloon() { return balloon_; }
  Canvas& canvas() { return canvas_; }

  // Creates the window and its controls, runs the created event and shows
  // the window. False when the window could not be created.
  bool create(App& app);
  // For the message loop, before a message is dispatched: Esc, Tab and Enter,
  // and the user input that takes a staying balloon tip away. True swallows.
  bool pre_translate(MSG& msg);

  void post_close() override;
  void send_close() override;
  void apply_look(int colour_scheme) override;
  void apply_rounded_region(int ellipse) override;
  void add_tray_icon() override;
  void remove_tray_icon() override;
  void minimise() override;
  void show_normal() override;
  void move_to(int x, int y) override;
  void drag_by_caption() override;
  void bring_to_foreground() override;
  void cursor_pos(int& x, int& y) override;
  void track_tray_menu(int x, int y) override;

 private:
  static LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
  void raise(ControlId control, Event event, int arg = 0);
  void on_command(WPARAM wp, LPARAM lp);
  void on_control_notice(ControlId id, WORD code);
  bool on_activate(WPARAM wp);
  void on_destroy();
  bool on_key_down(const MSG& msg);
  void move_focus_by_tab(bool forward);
  bool combo_box_dropped() const;
  void paint_content(HDC dc);

  HINSTANCE instance_;
  Pictures pictures_;
  CanvasWin32 canvas_;
  BalloonTipWin32 balloon_;
  ControlSet controls_;
  TrayIcon tray_;
  App* app_ = nullptr;
  UINT taskbar_created_ = 0;
  HWND hwnd_ = nullptr;
  // Windows last: they go before the fonts, pictures and brushes they use.
  unique_hwnd owner_;
  unique_hwnd window_;
};

}  // namespace lanchuan::win32
