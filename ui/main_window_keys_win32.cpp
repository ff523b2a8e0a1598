// Keys of the main window that no control handles itself: Esc closes, Tab
// moves between the two small edit boxes only, Enter does nothing. Any press
// or wheel turn also takes a staying balloon tip away.
#include "ui/main_window_win32.h"

namespace lanchuan::win32 {

namespace {

bool is_user_input(UINT msg) {
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONDBLCLK:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool MainWindowWin32::pre_translate(MSG& msg) {
  if (is_user_input(msg.message)) balloon_.user_input();
  if (msg.message != WM_KEYDOWN || !hwnd_) return false;
  if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)) return false;
  return on_key_down(msg);
}

bool MainWindowWin32::on_key_down(const MSG& msg) {
  // An open drop-down list uses Esc, Enter and Tab itself.
  if (combo_box_dropped()) return false;
  switch (msg.wParam) {
    case VK_ESCAPE:
      raise(kMainWindow, Event::kEscape);
      return true;
    case VK_TAB:
      move_focus_by_tab(GetKeyState(VK_SHIFT) >= 0);
      return true;
    case VK_RETURN:
      return true;
    default:
      return false;
  }
}

bool MainWindowWin32::combo_box_dropped() const {
  const HWND combo = controls_.hwnd(ControlId::组合框1);
  return combo && SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0) != FALSE;
}

void MainWindowWin32::move_focus_by_tab(bool forward) {
  const auto usable = [this](ControlId id) {
    const HWND w = controls_.hwnd(id);
    return w && IsWindowEnabled(w) && IsWindowVisible(w);
  };
  const std::optional<ControlId> next = next_tab_stop(controls_.find(GetFocus()), forward, usable);
  if (!next) return;
  const HWND target = controls_.hwnd(*next);
  SetFocus(target);
  // As in a dialog: the number is selected, ready to be typed over.
  SendMessageA(target, EM_SETSEL, 0, -1);
}

}  // namespace lanchuan::win32
