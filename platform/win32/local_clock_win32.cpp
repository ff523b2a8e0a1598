#include "platform/win32/local_clock_win32.h"

#include <windows.h>

namespace lanchuan::win32 {

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

}  // namespace lanchuan::win32
