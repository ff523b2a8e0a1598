// The reference for the benchmark: the least a Win32 program with a Chinese
// caption does to show a window. One class, one window, one line of Chinese
// text in 宋体 at the tool's text size (so the CJK font is loaded and measured
// before the window shows, as for any window with Chinese texts), a message
// loop; no timers.
#include <windows.h>

namespace {

const wchar_t kText[] = L"蓝川最小窗口：一行中文文字";
HFONT g_font;
SIZE g_text_size;

void paint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  HGDIOBJ old = SelectObject(dc, g_font);
  SetBkMode(dc, TRANSPARENT);
  TextOutW(dc, (280 - g_text_size.cx) / 2, 40, kText, lstrlenW(kText));
  SelectObject(dc, old);
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_PAINT) {
    paint(hwnd);
    return 0;
  }
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = window_proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = "BenchMinimalWindow";
  if (!RegisterClassA(&wc)) return 1;
  g_font =
      CreateFontW(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"宋体");
  // Lay the line out before showing the window: this loads the font.
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, g_font);
  GetTextExtentPoint32W(screen, kText, lstrlenW(kText), &g_text_size);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  // The same size as the tool's window, so both give the X server the same area.
  HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "minimal", WS_POPUP | WS_SYSMENU, 100, 100, 280,
                              366, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  ShowWindow(hwnd, show == SW_HIDE ? SW_SHOW : show);
  UpdateWindow(hwnd);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  DeleteObject(g_font);
  return 0;
}
