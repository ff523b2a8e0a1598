// Per-window C++ state of our own window classes, owned by the window: made
// in WM_NCCREATE, kept in GWLP_USERDATA, deleted in WM_NCDESTROY.
#pragma once

#include <windows.h>

#include <memory>

namespace lanchuan::win32 {

template <typename T>
T* window_data(HWND hwnd) {
  return reinterpret_cast<T*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

template <typename T>
void attach_window_data(HWND hwnd, std::unique_ptr<T> data) {
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data.release()));
}

template <typename T>
void delete_window_data(HWND hwnd) {
  std::unique_ptr<T> owned(window_data<T>(hwnd));
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
}

}  // namespace lanchuan::win32
