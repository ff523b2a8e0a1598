// A second reference for the start-up figure: what the tool's window costs by
// itself. The hidden owner, the main window and one window per row of the
// tool's layout table, made in the tool's order with the classes, styles,
// fonts and combo box list the tool makes them with
// (ui/control_styles_win32.h); the tool's own control classes are registered
// here with the default window procedure. No pictures, settings, handlers or
// timers. The gap between this and the minimal
// window is what the window alone costs; the gap between the tool and this is
// the tool's own work.
#include <windows.h>

#include "ui/control_styles_win32.h"
#include "ui/layout.h"

namespace {

using lanchuan::ControlKind;
using lanchuan::ControlRow;

const char kMainClass[] = "BenchWindowSetFloor";
HWND g_windows[lanchuan::kControlCount];

LRESULT CALLBACK main_proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

void register_class(HINSTANCE instance, const char* name, WNDPROC proc) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  RegisterClassA(&wc);
}

void create_control(HINSTANCE instance, const ControlRow& row, HWND parent, HFONT song14) {
  using namespace lanchuan::win32;
  const KindStyle& kind = style_of(row.kind);
  if (!kind.window_class) return;
  const int id = lanchuan::control_window_id(row.id);
  HWND hwnd =
      CreateWindowExA(kind.ex_style, kind.window_class, window_caption(row), window_style(row),
                      row.rect.x, row.rect.y, row.rect.width, window_height(row), parent,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  g_windows[lanchuan::index_of(row.id)] = hwnd;
  if (!hwnd) return;
  HGDIOBJ font =
      row.font == lanchuan::FontKind::kSong14 ? song14 : GetStockObject(DEFAULT_GUI_FONT);
  SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (row.kind == ControlKind::kCheckBox && (row.flags & lanchuan::kTicked)) {
    SendMessageA(hwnd, BM_SETCHECK, BST_CHECKED, 0);
  }
  if (row.kind == ControlKind::kComboBox) fill_combo_box(hwnd, row);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  register_class(instance, kMainClass, main_proc);
  register_class(instance, "BenchFloorOwner", DefWindowProcA);
  for (const char* own : {lanchuan::win32::kLabelClass, lanchuan::win32::kImageButtonClass,
                          lanchuan::win32::kPanelClass, lanchuan::win32::kCanvasClass}) {
    register_class(instance, own, DefWindowProcA);
  }
  HFONT song14 =
      CreateFontA(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "宋体");
  HWND owner = CreateWindowExA(WS_EX_TOOLWINDOW, "BenchFloorOwner", "", WS_POPUP, 0, 0, 0, 0,
                               nullptr, nullptr, instance, nullptr);
  const lanchuan::WindowRow& w = lanchuan::kMainWindowRow;
  HWND main = CreateWindowExA(0, kMainClass, w.title, WS_POPUP | WS_CLIPCHILDREN,
                              (GetSystemMetrics(SM_CXSCREEN) - w.width) / 2,
                              (GetSystemMetrics(SM_CYSCREEN) - w.height) / 2, w.width, w.height,
                              owner, nullptr, instance, nullptr);
  if (!main) return 1;
  // The tool's order: the main window's children, then the page's, each from
  // the last row to the first.
  for (bool of_main : {true, false}) {
    for (const ControlRow* row = lanchuan::control_table_end();
         row != lanchuan::control_table_begin();) {
      --row;
      if ((row->parent == lanchuan::kMainWindow) != of_main) continue;
      HWND parent = of_main ? main : g_windows[lanchuan::index_of(row->parent)];
      create_control(instance, *row, parent, song14);
    }
  }
  ShowWindow(main, SW_SHOWNORMAL);
  UpdateWindow(main);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  DeleteObject(song14);
  DestroyWindow(owner);
  return 0;
}
