// Registering the program's window classes: the arrow cursor, no background
// brush (every class paints itself), and the icon where one is given.
#pragma once

#include <windows.h>

namespace lanchuan::win32 {

inline void register_window_class(HINSTANCE instance, const char* name, WNDPROC proc,
                                  HICON icon = nullptr) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  RegisterClassA(&wc);
}

}  // namespace lanchuan::win32
