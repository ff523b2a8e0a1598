#include "ui/look_win32.h"

#include <commctrl.h>

#include "platform/win32/handles_win32.h"
#include "ui/input_rules.h"

namespace lanchuan::win32 {

namespace {

constexpr UINT_PTR kFrameSubclass = 1;
constexpr UINT_PTR kIntegerSubclass = 2;

int g_scheme = 0;

struct Scheme {
  int number;
  Rgb frame;
};
constexpr Scheme kSchemes[] = {
    {1, {123, 158, 189}},
    {2, {164, 185, 127}},
    {3, {198, 197, 215}},
};

const Scheme* scheme(int number) {
  for (const Scheme& s : kSchemes) {
    if (s.number == number) return &s;
  }
  return nullptr;
}

BOOL CALLBACK redraw_window(HWND hwnd, LPARAM) {
  RedrawWindow(hwnd, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  return TRUE;
}

// Over the whole window rectangle, so it covers the static-edge border.
void paint_frame(HWND hwnd) {
  const Scheme* s = scheme(g_scheme);
  if (!s) return;
  window_dc dc(hwnd, true);
  if (!dc.get()) return;
  RECT r;
  GetWindowRect(hwnd, &r);
  OffsetRect(&r, -r.left, -r.top);
  unique_hbrush brush(CreateSolidBrush(to_colorref(s->frame)));
  FrameRect(dc.get(), &r, brush.get());
}

LRESULT CALLBACK framed_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR kind) {
  switch (msg) {
    case WM_NCPAINT:
    case WM_PAINT: {
      const LRESULT result = DefSubclassProc(hwnd, msg, wp, lp);
      // The combo box draws its border in the client area, the edit box in
      // the non-client area; both end up under the frame.
      if (msg != WM_PAINT || static_cast<ControlKind>(kind) == ControlKind::kComboBox) {
        paint_frame(hwnd);
      }
      return result;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, framed_proc, kFrameSubclass);
      break;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT CALLBACK integer_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  if (msg == WM_CHAR && !accepts_integer_char(static_cast<unsigned>(wp))) return 0;
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, integer_proc, kIntegerSubclass);
  return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

void apply_look(int colour_scheme) {
  g_scheme = colour_scheme;
  EnumThreadWindows(GetCurrentThreadId(), redraw_window, 0);
}

void install_framed_look(HWND control, ControlKind kind) {
  SetWindowSubclass(control, framed_proc, kFrameSubclass, static_cast<DWORD_PTR>(kind));
}

void install_integer_input(HWND edit) {
  SetWindowSubclass(edit, integer_proc, kIntegerSubclass, 0);
}

}  // namespace lanchuan::win32
