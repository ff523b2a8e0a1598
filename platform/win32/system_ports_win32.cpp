#include "platform/win32/system_ports_win32.h"

#include <vector>

#include "platform/win32/fatal_win32.h"

namespace lanchuan::win32 {

DateTime Win32Clock::now_local() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  DateTime value;
  make_date_time(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, value);
  return value;
}

bool set_local_clock(const DateTimeParts& parts, int milliseconds) {
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(parts.year);
  st.wMonth = static_cast<WORD>(parts.month);
  st.wDayOfWeek = static_cast<WORD>(parts.day_of_week);
  st.wDay = static_cast<WORD>(parts.day);
  st.wHour = static_cast<WORD>(parts.hour);
  st.wMinute = static_cast<WORD>(parts.minute);
  st.wSecond = static_cast<WORD>(parts.second);
  st.wMilliseconds = static_cast<WORD>(milliseconds);
  return SetLocalTime(&st) != FALSE;
}

bool Win32Clock::set_local_time(const DateTimeParts& parts) { return set_local_clock(parts, 0); }

bool Win32NetworkState::connected() {
  using Fn = BOOL(WINAPI*)(LPDWORD, DWORD);
  static Fn get_state = require<Fn>("wininet.dll", "InternetGetConnectedState");
  DWORD flags = 0;
  return get_state(&flags, 0) == 1;
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
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(ms) - elapsed + 1,
                              QS_ALLINPUT);
  }
}

void Win32MessagePump::process_pending() { drain(); }

std::string Win32SettingsStore::read(const std::string& section, const std::string& key,
                                     const std::string& default_value) {
  std::vector<char> buffer(kSettingsValueBuffer, '\0');
  const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), default_value.c_str(),
                                           buffer.data(), kSettingsValueBuffer, path_.c_str());
  return std::string(buffer.data(), n);
}

void Win32SettingsStore::write(const std::string& section, const std::string& key,
                               const std::string& value) {
  WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path_.c_str());
}

}  // namespace lanchuan::win32
