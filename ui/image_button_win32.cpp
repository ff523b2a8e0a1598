// Image buttons: drawn only from their pictures, with the caption (if any)
// written onto the picture at run time so that any font with Chinese glyphs
// does.
#include <windows.h>
// windows.h first: windowsx.h depends on it.
#include <windowsx.h>

#include <string>

#include "platform/win32/handles_win32.h"
#include "platform/win32/window_class_win32.h"
#include "ui/custom_controls_win32.h"
#include "ui/image_button_state.h"
#include "ui/look_win32.h"
#include "ui/window_data_win32.h"

namespace lanchuan::win32 {

namespace {

constexpr COLORREF kDisabledText = RGB(160, 160, 160);

struct ImageButton {
  ImageButtonState state;
  ButtonPictures pictures{};
  COLORREF text_colour = 0;
  HFONT font = nullptr;  // not owned (WM_SETFONT)
  bool tracking_leave = false;
};

bool cursor_inside(HWND hwnd, LPARAM lp) {
  RECT r;
  GetClientRect(hwnd, &r);
  const POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  return PtInRect(&r, pt) != FALSE;
}

void draw_caption(HWND hwnd, HDC dc, const ImageButton& b, ButtonLook look) {
  char text[64] = {};
  if (GetWindowTextA(hwnd, text, sizeof(text)) <= 0) return;
  RECT r;
  GetClientRect(hwnd, &r);
  if (look == ButtonLook::kPressed) OffsetRect(&r, 0, 1);
  saved_dc state(dc);
  if (b.font) SelectObject(dc, b.font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, look == ButtonLook::kDisabled ? kDisabledText : b.text_colour);
  DrawTextA(dc, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void paint(HWND hwnd, HDC dc) {
  const ImageButton* b = window_data<ImageButton>(hwnd);
  if (!b) return;
  bool has[kButtonLookCount];
  for (int i = 0; i < kButtonLookCount; ++i) has[i] = b->pictures[i] != nullptr;
  const ButtonLook look = b->state.look();
  draw_bitmap(dc, b->pictures[static_cast<int>(picture_for(look, has))], 0, 0);
  draw_caption(hwnd, dc, *b, look);
}

void refresh(HWND hwnd) { InvalidateRect(hwnd, nullptr, FALSE); }

void on_mouse_move(HWND hwnd, ImageButton& b, LPARAM lp) {
  if (!b.tracking_leave) {
    TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd, 0};
    b.tracking_leave = TrackMouseEvent(&tme) != FALSE;
  }
  b.state.mouse_moved(cursor_inside(hwnd, lp));
  refresh(hwnd);
}

void on_left_up(HWND hwnd, ImageButton& b, LPARAM lp) {
  const bool click = b.state.left_up(cursor_inside(hwnd, lp));
  if (GetCapture() == hwnd) ReleaseCapture();
  refresh(hwnd);
  if (!click) return;
  notify_parent(hwnd, BN_CLICKED);
  // The handler may have run a menu or a calibration meanwhile: the mouse can
  // be elsewhere now, and the leave notice lost.
  if (!IsWindow(hwnd)) return;
  POINT pt;
  GetCursorPos(&pt);
  ScreenToClient(hwnd, &pt);
  b.state.mouse_moved(cursor_inside(hwnd, MAKELPARAM(pt.x, pt.y)));
  refresh(hwnd);
}

LRESULT mouse_message(HWND hwnd, ImageButton& b, UINT msg, LPARAM lp) {
  switch (msg) {
    case WM_MOUSEMOVE:
      on_mouse_move(hwnd, b, lp);
      break;
    case WM_MOUSELEAVE:
      b.tracking_leave = false;
      if (GetCapture() != hwnd) b.state.mouse_left();
      refresh(hwnd);
      break;
    case WM_LBUTTONDOWN:
      if (b.state.left_down()) SetCapture(hwnd);
      refresh(hwnd);
      break;
    case WM_LBUTTONUP:
      on_left_up(hwnd, b, lp);
      break;
    case WM_CAPTURECHANGED:
      b.state.capture_lost();
      refresh(hwnd);
      break;
  }
  return 0;
}

LRESULT CALLBACK image_button_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  ImageButton* b = window_data<ImageButton>(hwnd);
  switch (msg) {
    case WM_NCCREATE: {
      auto data = std::make_unique<ImageButton>();
      const ControlCreateInfo* info = create_info(lp);
      data->pictures = info->pictures;
      data->text_colour = to_colorref(info->row->text_colour);
      data->state.set_enabled((reinterpret_cast<CREATESTRUCTA*>(lp)->style & WS_DISABLED) == 0);
      attach_window_data(hwnd, std::move(data));
      break;
    }
    case WM_NCDESTROY:
      delete_window_data<ImageButton>(hwnd);
      break;
    case WM_MOUSEMOVE:
    case WM_MOUSELEAVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      return b ? mouse_message(hwnd, *b, msg, lp) : 0;
    case WM_ENABLE:
      if (b) b->state.set_enabled(wp != FALSE);
      refresh(hwnd);
      return 0;
    case BM_CLICK:
      // As a platform button does: a click from the keyboard or another program.
      if (IsWindowEnabled(hwnd)) notify_parent(hwnd, BN_CLICKED);
      return 0;
    case WM_SETFONT:
      if (b) b->font = reinterpret_cast<HFONT>(wp);
      if (lp) refresh(hwnd);
      return 0;
    case WM_GETFONT:
      return b ? reinterpret_cast<LRESULT>(b->font) : 0;
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcA(hwnd, msg, wp, lp);
      refresh(hwnd);
      return result;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      paint_dc dc(hwnd);
      paint(hwnd, dc.get());
      return 0;
    }
    case WM_PRINTCLIENT:
      paint(hwnd, reinterpret_cast<HDC>(wp));
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

void register_image_button_class(HINSTANCE instance) {
  register_window_class(instance, kImageButtonClass, image_button_proc);
}

}  // namespace lanchuan::win32
