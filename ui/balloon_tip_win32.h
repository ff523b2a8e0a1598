// 气球提示框1: a light-yellow balloon in a top-level layered window of its
// own, which exists only while a tip is pending or up. Its timing comes from
// BalloonTiming; this class turns it into a window, alpha and a timer.
#pragma once

#include <windows.h>

#include <string>

#include "app/ports.h"
#include "platform/win32/handles_win32.h"
#include "ui/balloon_shape.h"
#include "ui/balloon_timing.h"

namespace lanchuan::win32 {

constexpr const char* kBalloonTipClass = "LanchuanBalloonTip";

class BalloonTipWin32 : public BalloonTip {
 public:
  explicit BalloonTipWin32(HINSTANCE instance);
  BalloonTipWin32(const BalloonTipWin32&) = delete;
  BalloonTipWin32& operator=(const BalloonTipWin32&) = delete;

  void show_balloon_tip(int x, int y, const std::string& text, int icon_index,
                        bool keep_style) override;
  void set_no_auto_hide(bool no_auto_hide) override { no_auto_hide_ = no_auto_hide; }

  // A mouse press, wheel turn or key press anywhere in the program.
  void user_input();
  // Takes any tip away at once (the main window is going).
  void close();

 private:
  static LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void create_window(int x, int y, const std::string& text);
  void on_timer();
  // Shows, fades, hides or destroys the window as the timing says, and sets
  // the timer for the next change.
  void apply();
  void paint(HDC dc) const;

  HINSTANCE instance_;
  BalloonTiming timing_;
  bool no_auto_hide_ = false;
  DWORD last_tick_ = 0;
  BalloonShape shape_;
  SIZE text_size_{};
  unique_hfont font_;
  unique_hwnd window_;
};

}  // namespace lanchuan::win32
