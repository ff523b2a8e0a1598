// The main window's notification-area icon.
#pragma once

#include <windows.h>

#include "platform/win32/handles_win32.h"

namespace lanchuan::win32 {

constexpr UINT kTrayIconId = 100;
constexpr UINT kTrayMessage = WM_APP + 100;
// Posted to the window to put the icon up once the window is shown.
constexpr UINT kAddTrayIconMessage = WM_APP + 101;
constexpr const char* kTrayTip = "蓝川自动校时";

class TrayIcon {
 public:
  explicit TrayIcon(HINSTANCE instance) : instance_(instance) {}
  ~TrayIcon() { remove(); }
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Failures are silent: the window then has no tray icon.
  void add(HWND hwnd);
  // The shell (re)started ("TaskbarCreated"): put the icon up if it is wanted.
  void add_again();
  // Takes the icon down and destroys its icon handle.
  void remove();

 private:
  bool notify(DWORD message);

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  bool wanted_ = false;  // between add and remove
  bool added_ = false;
  unique_hicon icon_;
};

}  // namespace lanchuan::win32
