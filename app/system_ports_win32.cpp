#include "app/system_ports_win32.h"

#include <vector>

#include "platform/win32/fatal_win32.h"
#include "platform/win32/local_clock_win32.h"

namespace lanchuan::win32 {

DateTime Win32Clock::now_local() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  DateTime value;
  make_date_time(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, value);
  return value;
}

bool Win32Clock::set_local_time(const DateTimeParts& parts) { return set_local_clock(parts, 0); }

bool Win32NetworkState::connected() {
  using Fn = BOOL(WINAPI*)(LPDWORD, DWORD);
  // Looked up at the first check; WinINet stays loaded from then on.
  static const auto connected_state = require<Fn>("wininet.dll", "InternetGetConnectedState");
  DWORD flags = 0;
  return connected_state(&flags, 0) == 1;
}

bool Win32MessagePump::dispatch(MSG& msg) {
  if (msg.message == WM_QUIT) return false;
  if (pre_translate_ && pre_translate_(msg)) return true;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

bool Win32MessagePump::drain() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (!dispatch(msg)) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
  }
  return true;
}

void Win32MessagePump::wait_processing(int ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (!drain()) return;
    const DWORD elapsed = GetTickCount() - start;
    if (ms < 0 || elapsed > static_cast<DWORD>(ms)) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(ms) - elapsed + 1, QS_ALLINPUT);
  }
}

void Win32MessagePump::process_pending() { drain(); }

}  // namespace lanchuan::win32
