// Owners of the Win32 handles the window code uses: one unique_any per kind of
// handle, and small types for what is released rather than deleted (a window
// DC, a paint DC, an object selected into a DC). Declare the object first and
// its selection after it: the selection is undone before the object is deleted.
#pragma once

#include <windows.h>

#include "base/unique_any.h"

namespace lanchuan::win32 {

template <typename T, typename Fn, Fn close_fn>
struct HandleTraits {
  using type = T;
  static constexpr T invalid() { return nullptr; }
  static void close(T h) { close_fn(h); }
};

inline void delete_gdi_object(HGDIOBJ h) { DeleteObject(h); }
inline void destroy_window(HWND h) { DestroyWindow(h); }
inline void destroy_icon(HICON h) { DestroyIcon(h); }
inline void destroy_menu(HMENU h) { DestroyMenu(h); }
inline void delete_dc(HDC h) { DeleteDC(h); }
inline void unhook(HHOOK h) { UnhookWindowsHookEx(h); }
inline void close_handle(HANDLE h) { CloseHandle(h); }

template <typename T>
using unique_gdi = unique_any<HandleTraits<T, void (*)(HGDIOBJ), delete_gdi_object>>;
using unique_hfont = unique_gdi<HFONT>;
using unique_hbrush = unique_gdi<HBRUSH>;
using unique_hpen = unique_gdi<HPEN>;
using unique_hbitmap = unique_gdi<HBITMAP>;
using unique_hrgn = unique_gdi<HRGN>;
using unique_hwnd = unique_any<HandleTraits<HWND, void (*)(HWND), destroy_window>>;
using unique_hicon = unique_any<HandleTraits<HICON, void (*)(HICON), destroy_icon>>;
using unique_hmenu = unique_any<HandleTraits<HMENU, void (*)(HMENU), destroy_menu>>;
using unique_hdc = unique_any<HandleTraits<HDC, void (*)(HDC), delete_dc>>;  // CreateCompatibleDC
using unique_hhook = unique_any<HandleTraits<HHOOK, void (*)(HHOOK), unhook>>;
// Kernel objects whose "no handle" is null (tokens, processes, threads).
using unique_handle = unique_any<HandleTraits<HANDLE, void (*)(HANDLE), close_handle>>;

// GetDC / GetWindowDC, released with the window it came from.
class window_dc {
 public:
  explicit window_dc(HWND hwnd, bool whole_window = false)
      : hwnd_(hwnd), dc_(whole_window ? GetWindowDC(hwnd) : GetDC(hwnd)) {}
  ~window_dc() {
    if (dc_) ReleaseDC(hwnd_, dc_);
  }
  window_dc(const window_dc&) = delete;
  window_dc& operator=(const window_dc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// BeginPaint / EndPaint.
class paint_dc {
 public:
  explicit paint_dc(HWND hwnd) : hwnd_(hwnd) { dc_ = BeginPaint(hwnd, &ps_); }
  ~paint_dc() { EndPaint(hwnd_, &ps_); }
  paint_dc(const paint_dc&) = delete;
  paint_dc& operator=(const paint_dc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_{};
  HDC dc_ = nullptr;
};

// SelectObject, undone at the end of the scope.
class select_object {
 public:
  select_object(HDC dc, HGDIOBJ object)
      : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
  ~select_object() {
    if (previous_) SelectObject(dc_, previous_);
  }
  select_object(const select_object&) = delete;
  select_object& operator=(const select_object&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// SaveDC / RestoreDC, for changes of origin, clipping and modes.
class saved_dc {
 public:
  explicit saved_dc(HDC dc) : dc_(dc), state_(SaveDC(dc)) {}
  ~saved_dc() {
    if (state_) RestoreDC(dc_, state_);
  }
  saved_dc(const saved_dc&) = delete;
  saved_dc& operator=(const saved_dc&) = delete;

 private:
  HDC dc_;
  int state_;
};

}  // namespace lanchuan::win32
