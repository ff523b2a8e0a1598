// What the handlers ask of the main window itself: closing, the look and
// outline, the tray icon, hiding and showing, dragging and the tray menu.
#include "ui/look_win32.h"
#include "ui/main_window_win32.h"

namespace lanchuan::win32 {

void MainWindowWin32::post_close() { PostMessageA(hwnd_, WM_CLOSE, 0, 0); }

void MainWindowWin32::send_close() { SendMessageA(hwnd_, WM_CLOSE, 0, 0); }

void MainWindowWin32::apply_look(int colour_scheme) { win32::apply_look(colour_scheme); }

void MainWindowWin32::apply_rounded_region(int ellipse) {
  RECT r;
  if (!GetWindowRect(hwnd_, &r)) return;
  const int width = static_cast<int>(static_cast<double>(r.right - r.left) + 1);
  const int height = static_cast<int>(static_cast<double>(r.bottom - r.top) + 1);
  unique_hrgn region(CreateRoundRectRgn(0, 0, width, height, ellipse, ellipse));
  // Once accepted, the region belongs to the window; a refused one is ours to delete.
  if (region && SetWindowRgn(hwnd_, region.get(), TRUE)) region.release();
}

// The shell takes a while to put the icon up (longer than the whole window
// under Wine), so it is asked once the window is up, from the message loop.
void MainWindowWin32::add_tray_icon() { PostMessageA(hwnd_, kAddTrayIconMessage, 0, 0); }

void MainWindowWin32::remove_tray_icon() { tray_.remove(); }

void MainWindowWin32::minimise() { ShowWindow(hwnd_, SW_MINIMIZE); }

void MainWindowWin32::show_normal() { ShowWindow(hwnd_, SW_SHOWNORMAL); }

void MainWindowWin32::move_to(int x, int y) {
  SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindowWin32::drag_by_caption() {
  // The press went to a control; the move loop wants the mouse itself.
  ReleaseCapture();
  SendMessageA(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void MainWindowWin32::bring_to_foreground() { SetForegroundWindow(hwnd_); }

void MainWindowWin32::cursor_pos(int& x, int& y) {
  POINT pt{0, 0};
  GetCursorPos(&pt);
  x = pt.x;
  y = pt.y;
}

void MainWindowWin32::track_tray_menu(int x, int y) {
  // The menu "右键" of a menu bar that is never shown; its popup is tracked.
  unique_hmenu bar(CreateMenu());
  unique_hmenu popup(CreatePopupMenu());
  if (!bar || !popup) return;
  int command = kFirstMenuCommand;
  for (const MenuItemRow* item = tray_menu_begin(); item != tray_menu_end(); ++item, ++command) {
    if (item->text) {
      AppendMenuA(popup.get(), MF_STRING, static_cast<UINT_PTR>(command), item->text);
    } else {
      AppendMenuA(popup.get(), MF_SEPARATOR, 0, nullptr);
    }
  }
  const HMENU tracked = popup.get();
  if (!AppendMenuA(bar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(tracked), kTrayMenuCaption)) {
    return;
  }
  popup.release();  // destroyed with the bar from now on
  // The chosen item comes back as a posted WM_COMMAND, handled from the loop.
  TrackPopupMenu(tracked, TPM_RIGHTALIGN, x, y, 0, hwnd_, nullptr);
  PostMessageA(hwnd_, WM_NULL, 0, 0);
}

}  // namespace lanchuan::win32
