// Labels (plain and transparent) and the panel. A label draws its caption in
// its own colours whether enabled or not; a transparent label lets its
// parent paint what lies behind it first.
#include <string>

#include "platform/win32/handles_win32.h"
#include "platform/win32/window_class_win32.h"
#include "ui/custom_controls_win32.h"
#include "ui/look_win32.h"
#include "ui/window_data_win32.h"

namespace lanchuan::win32 {

namespace {

struct Label {
  const ControlRow* row = nullptr;
  HFONT font = nullptr;  // not owned (WM_SETFONT)
};

void paint_parent_behind(HWND hwnd, HDC dc) {
  HWND parent = GetParent(hwnd);
  POINT origin{0, 0};
  MapWindowPoints(hwnd, parent, &origin, 1);
  saved_dc state(dc);
  OffsetWindowOrgEx(dc, origin.x, origin.y, nullptr);
  SendMessageA(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
}

void paint_label(HWND hwnd, HDC dc) {
  const Label* label = window_data<Label>(hwnd);
  if (!label) return;
  const ControlRow& row = *label->row;
  RECT r;
  GetClientRect(hwnd, &r);
  if (row.kind == ControlKind::kTransparentLabel) {
    paint_parent_behind(hwnd, dc);
  } else {
    unique_hbrush back(CreateSolidBrush(to_colorref(row.back_colour)));
    FillRect(dc, &r, back.get());
  }
  const int length = GetWindowTextLengthA(hwnd);
  if (length <= 0) return;
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  GetWindowTextA(hwnd, text.data(), length + 1);
  saved_dc state(dc);
  if (label->font) SelectObject(dc, label->font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, to_colorref(row.text_colour));
  DrawTextA(dc, text.c_str(), -1, &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

// Labels and the panel keep their layout row from creation to destruction.
void manage_label_data(HWND hwnd, UINT msg, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto data = std::make_unique<Label>();
    data->row = create_info(lp)->row;
    attach_window_data(hwnd, std::move(data));
  } else if (msg == WM_NCDESTROY) {
    delete_window_data<Label>(hwnd);
  }
}

LRESULT CALLBACK label_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  manage_label_data(hwnd, msg, lp);
  Label* label = window_data<Label>(hwnd);
  switch (msg) {
    case WM_LBUTTONDOWN:
      notify_parent(hwnd, kNotifyLeftPressed);
      return 0;
    case WM_LBUTTONUP:
      notify_parent(hwnd, kNotifyLeftReleased);
      return 0;
    case WM_SETCURSOR:
      if (label && (label->row->flags & kHandCursor)) {
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_SETFONT:
      if (label) label->font = reinterpret_cast<HFONT>(wp);
      if (lp) InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return label ? reinterpret_cast<LRESULT>(label->font) : 0;
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcA(hwnd, msg, wp, lp);
      InvalidateRect(hwnd, nullptr, FALSE);
      return result;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      paint_dc dc(hwnd);
      paint_label(hwnd, dc.get());
      return 0;
    }
    case WM_PRINTCLIENT:
      paint_label(hwnd, reinterpret_cast<HDC>(wp));
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

void paint_panel(HWND hwnd, HDC dc) {
  const Label* panel = window_data<Label>(hwnd);
  RECT r;
  GetClientRect(hwnd, &r);
  unique_hbrush back(
      CreateSolidBrush(panel ? to_colorref(panel->row->back_colour) : RGB(255, 255, 255)));
  FillRect(dc, &r, back.get());
}

LRESULT CALLBACK panel_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  manage_label_data(hwnd, msg, lp);
  switch (msg) {
    case WM_RBUTTONDOWN:
      notify_parent(hwnd, kNotifyRightPressed);
      return 0;
    // The controls on the panel report to it; the main window handles them.
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      return SendMessageA(GetParent(hwnd), msg, wp, lp);
    case WM_ERASEBKGND:
      paint_panel(hwnd, reinterpret_cast<HDC>(wp));
      return 1;
    case WM_PRINTCLIENT:
      paint_panel(hwnd, reinterpret_cast<HDC>(wp));
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

void register_label_classes(HINSTANCE instance) {
  register_window_class(instance, kLabelClass, label_proc);
  register_window_class(instance, kPanelClass, panel_proc);
}

}  // namespace lanchuan::win32
