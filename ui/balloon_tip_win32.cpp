#include "ui/balloon_tip_win32.h"

#include <algorithm>

#include "platform/win32/window_class_win32.h"
#include "ui/balloon_shape.h"

namespace lanchuan::win32 {

namespace {

constexpr UINT_PTR kTimer = 1;
constexpr COLORREF kFill = RGB(255, 255, 225);
constexpr COLORREF kOutline = RGB(118, 118, 118);
constexpr COLORREF kText = RGB(0, 0, 0);
constexpr int kCornerEllipse = 10;
constexpr int kMaxTextWidth = 360;
constexpr UINT kTextFormat = DT_LEFT | DT_NOPREFIX | DT_WORDBREAK;

// The body and tail as one region, in window coordinates.
unique_hrgn balloon_region(const BalloonShape& s) {
  unique_hrgn body(CreateRoundRectRgn(0, s.body_top, s.width + 1, s.body_bottom + 1, kCornerEllipse,
                                      kCornerEllipse));
  POINT tail[3];
  for (int i = 0; i < 3; ++i) tail[i] = {s.tail[i].x, s.tail[i].y};
  unique_hrgn tail_region(CreatePolygonRgn(tail, 3, WINDING));
  if (body && tail_region) CombineRgn(body.get(), body.get(), tail_region.get(), RGN_OR);
  return body;
}

SIZE measure_text(HFONT font, const std::string& text) {
  window_dc screen(nullptr);
  saved_dc state(screen.get());
  SelectObject(screen.get(), font);
  RECT r{0, 0, kMaxTextWidth, 0};
  DrawTextA(screen.get(), text.c_str(), -1, &r, kTextFormat | DT_CALCRECT);
  return {r.right, r.bottom};
}

}  // namespace

BalloonTipWin32::BalloonTipWin32(HINSTANCE instance) : instance_(instance) {
  register_window_class(instance, kBalloonTipClass, window_proc);
  // 9 pt at the screen's resolution.
  window_dc screen(nullptr);
  const int height = -MulDiv(9, GetDeviceCaps(screen.get(), LOGPIXELSY), 72);
  font_.reset(CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, "宋体"));
}

void BalloonTipWin32::show_balloon_tip(int x, int y, const std::string& text, int /*icon_index*/,
                                       bool keep_style) {
  // The tip's image list is empty: no icon index shows a picture. Without the
  // keep-style flag a tip always stays.
  close();
  timing_.request(keep_style && !no_auto_hide_);
  create_window(x, y, text);
  last_tick_ = GetTickCount();
  apply();
}

void BalloonTipWin32::user_input() {
  if (!window_) return;
  timing_.user_input();
  apply();
}

void BalloonTipWin32::close() {
  timing_.dismiss();
  window_.reset();
}

void BalloonTipWin32::create_window(int x, int y, const std::string& text) {
  text_size_ = measure_text(font_.get(), text);
  shape_ = balloon_shape({x, y}, text_size_.cx, text_size_.cy, GetSystemMetrics(SM_CXSCREEN),
                         GetSystemMetrics(SM_CYSCREEN));
  const BalloonShape& s = shape_;
  window_.reset(CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_LAYERED | WS_EX_NOACTIVATE,
                                kBalloonTipClass, text.c_str(), WS_POPUP, s.x, s.y, s.width,
                                s.height, nullptr, nullptr, instance_, this));
  if (!window_) return;
  SetLayeredWindowAttributes(window_.get(), 0, 0, LWA_ALPHA);
  unique_hrgn region = balloon_region(s);
  // The window owns the region once it has accepted it.
  if (region && SetWindowRgn(window_.get(), region.get(), FALSE)) region.release();
}

void BalloonTipWin32::on_timer() {
  const DWORD now = GetTickCount();
  timing_.advance(static_cast<int>(now - last_tick_));
  last_tick_ = now;
  apply();
}

void BalloonTipWin32::apply() {
  if (!window_) return;
  if (timing_.phase() == BalloonPhase::kNone) {
    window_.reset();
    return;
  }
  if (timing_.visible()) {
    const int opacity = 100 - timing_.transparency_percent();
    SetLayeredWindowAttributes(window_.get(), 0, static_cast<BYTE>(opacity * 255 / 100), LWA_ALPHA);
    if (!IsWindowVisible(window_.get())) ShowWindow(window_.get(), SW_SHOWNOACTIVATE);
  }
  const int due = timing_.ms_until_change();
  if (due < 0) {
    KillTimer(window_.get(), kTimer);
  } else {
    SetTimer(window_.get(), kTimer, static_cast<UINT>(std::max(due, 1)), nullptr);
  }
}

void BalloonTipWin32::paint(HDC dc) const {
  RECT client;
  GetClientRect(window_.get(), &client);
  char text[512] = {};
  GetWindowTextA(window_.get(), text, sizeof(text));
  const BalloonShape& s = shape_;
  unique_hrgn region = balloon_region(s);
  unique_hbrush fill(CreateSolidBrush(kFill));
  unique_hbrush outline(CreateSolidBrush(kOutline));
  FillRect(dc, &client, fill.get());
  if (region) FrameRgn(dc, region.get(), outline.get(), 1, 1);
  saved_dc state(dc);
  SelectObject(dc, font_.get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kText);
  RECT text_rect{s.text_left, s.text_top, s.text_left + text_size_.cx, s.text_top + text_size_.cy};
  DrawTextA(dc, text, -1, &text_rect, kTextFormat);
}

LRESULT CALLBACK BalloonTipWin32::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<BalloonTipWin32*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_NCCREATE:
      SetWindowLongPtrA(
          hwnd, GWLP_USERDATA,
          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams));
      break;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_TIMER:
      if (self && wp == kTimer) self->on_timer();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      paint_dc dc(hwnd);
      if (self && self->window_.get() == hwnd) self->paint(dc.get());
      return 0;
    }
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace lanchuan::win32
