#include "ui/look_win32.h"

#include "platform/win32/handles_win32.h"
#include "platform/win32/wait_win32.h"
#include "ui/input_rules.h"

namespace lanchuan::win32 {

namespace {

// Each filter keeps the procedure it replaced in a window property. (The
// comctl32 subclass helpers would do the same, but loading that library costs
// the program more memory than the rest of its user interface.)
constexpr char kFramePrevious[] = "LanchuanFramePrevious";
constexpr char kFrameKind[] = "LanchuanFrameKind";
constexpr char kIntegerPrevious[] = "LanchuanIntegerPrevious";

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

// In the window's own character set, so messages pass through unconverted.
void subclass(HWND hwnd, WNDPROC proc, const char* previous_property) {
  const bool unicode = IsWindowUnicode(hwnd);
  const LONG_PTR previous =
      unicode ? GetWindowLongPtrW(hwnd, GWLP_WNDPROC) : GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
  SetPropA(hwnd, previous_property, reinterpret_cast<HANDLE>(previous));
  const LONG_PTR replacement = reinterpret_cast<LONG_PTR>(proc);
  if (unicode) {
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, replacement);
  } else {
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, replacement);
  }
}

LRESULT call_previous(HWND hwnd, const char* previous_property, UINT msg, WPARAM wp, LPARAM lp) {
  const auto previous = reinterpret_cast<WNDPROC>(GetPropA(hwnd, previous_property));
  if (msg == WM_NCDESTROY) RemovePropA(hwnd, previous_property);
  if (!previous) return DefWindowProcA(hwnd, msg, wp, lp);
  return IsWindowUnicode(hwnd) ? CallWindowProcW(previous, hwnd, msg, wp, lp)
                               : CallWindowProcA(previous, hwnd, msg, wp, lp);
}

LRESULT CALLBACK framed_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCPAINT:
    case WM_PAINT: {
      const LRESULT result = call_previous(hwnd, kFramePrevious, msg, wp, lp);
      const auto kind =
          static_cast<ControlKind>(reinterpret_cast<INT_PTR>(GetPropA(hwnd, kFrameKind)));
      // The combo box draws its border in the client area, the edit box in
      // the non-client area; both end up under the frame.
      if (msg != WM_PAINT || kind == ControlKind::kComboBox) paint_frame(hwnd);
      return result;
    }
    case WM_CONTEXTMENU:
      // The box's own menu runs a modal loop, which would take timers and
      // posted messages in the middle of a query's wait.
      if (waiting_answering()) {
        put_off_until_wait_ends(hwnd, msg, wp, lp);
        return 0;
      }
      break;
    case WM_NCDESTROY:
      RemovePropA(hwnd, kFrameKind);
      break;
  }
  return call_previous(hwnd, kFramePrevious, msg, wp, lp);
}

LRESULT CALLBACK integer_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CHAR && !accepts_integer_char(static_cast<unsigned>(wp))) return 0;
  return call_previous(hwnd, kIntegerPrevious, msg, wp, lp);
}

}  // namespace

void apply_look(int colour_scheme) {
  g_scheme = colour_scheme;
  EnumThreadWindows(GetCurrentThreadId(), redraw_window, 0);
}

void install_framed_look(HWND control, ControlKind kind) {
  SetPropA(control, kFrameKind, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(kind)));
  subclass(control, framed_proc, kFramePrevious);
}

void install_integer_input(HWND edit) { subclass(edit, integer_proc, kIntegerPrevious); }

}  // namespace lanchuan::win32
