#include "ui/tray_icon_win32.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>

#include "platform/win32/fatal_win32.h"
#include "ui/pictures_win32.h"

namespace lanchuan::win32 {

namespace {
constexpr std::size_t kTipBytesUsed = 62;
using NotifyIconFn = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA);
}  // namespace

bool TrayIcon::notify(DWORD message) {
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof(data);
  data.hWnd = hwnd_;
  data.uID = kTrayIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayMessage;
  data.hIcon = icon_.get();
  const std::size_t n = std::min(std::strlen(kTrayTip), kTipBytesUsed);
  std::memcpy(data.szTip, kTrayTip, n);
  // The shell's library is loaded at the first tray call, once the window is
  // up, and kept from then on.
  static const auto notify_icon = find<NotifyIconFn>("shell32.dll", "Shell_NotifyIconA");
  return notify_icon && notify_icon(message, &data) != FALSE;
}

void TrayIcon::add(HWND hwnd) {
  hwnd_ = hwnd;
  if (!icon_) {
    // The small image of the program's icon suits the notification area.
    icon_.reset(load_app_icon(instance_, SM_CXSMICON));
  }
  wanted_ = true;
  added_ = notify(NIM_ADD);
}

void TrayIcon::add_again() {
  // Also when the first NIM_ADD failed because the shell was not up yet.
  if (wanted_) added_ = notify(NIM_ADD);
}

void TrayIcon::remove() {
  if (added_) notify(NIM_DELETE);
  added_ = false;
  wanted_ = false;
  icon_.reset();
}

}  // namespace lanchuan::win32
