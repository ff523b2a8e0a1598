// Registering the program's window classes: the arrow cursor, no background
// brush (every class paints itself), and the icon where one is given.
#pragma once

#include <windows.h>

namespace lanchuan::win32 {

inline void register_window_class(HINSTANCE instance, const char* name, WNDPROC proc,
                                  HICON icon = nullptr, HICON small_icon = nullptr) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hIcon = icon;
  // Given, the small icon is not made again from the large one's resource.
  wc.hIconSm = small_icon;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  RegisterClassExA(&wc);
}

}  // namespace lanchuan::win32
