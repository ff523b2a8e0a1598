#include "ui/main_window_win32.h"

#include "platform/win32/wait_win32.h"
#include "platform/win32/window_class_win32.h"
#include "ui/custom_controls_win32.h"
#include "ui/look_win32.h"

namespace lanchuan::win32 {

namespace {

constexpr const char* kOwnerClass = "LanchuanTimeSyncOwner";

// Which WM_COMMAND notice of which kind of control is which event.
struct Notice {
  ControlKind kind;
  WORD code;
  Event event;
};
constexpr Notice kNotices[] = {
    {ControlKind::kImageButton, BN_CLICKED, Event::kClicked},
    {ControlKind::kCheckBox, BN_CLICKED, Event::kClicked},
    {ControlKind::kComboBox, CBN_KILLFOCUS, Event::kLostFocus},
    {ControlKind::kLabel, kNotifyLeftPressed, Event::kLeftPressed},
    {ControlKind::kLabel, kNotifyLeftReleased, Event::kLeftReleased},
    {ControlKind::kTransparentLabel, kNotifyLeftPressed, Event::kLeftPressed},
    {ControlKind::kTransparentLabel, kNotifyLeftReleased, Event::kLeftReleased},
    {ControlKind::kPanel, kNotifyRightPressed, Event::kRightPressed},
};

// The tray icon's mouse messages and the kinds the handler knows them by.
struct TrayKind {
  UINT mouse_message;
  int kind;
};
constexpr TrayKind kTrayKinds[] = {
    {WM_LBUTTONUP, kTrayLeftUp},
    {WM_LBUTTONDBLCLK, kTrayLeftDoubleClick},
    {WM_RBUTTONUP, kTrayRightUp},
    {WM_CONTEXTMENU, kTrayRightUp},
};

bool is_tray_kind(LPARAM mouse_message) {
  for (const TrayKind& k : kTrayKinds) {
    if (k.mouse_message == static_cast<UINT>(mouse_message)) return true;
  }
  return false;
}

// The sent messages that start work of the window's own: an event handler, a
// menu, closing, or one of the system's modal loops (moving, the system menu),
// which dispatch timers and posted messages. While the thread waits for a
// query or a fetch these are put off until the wait has ended; all else (the
// system's activation, size, text and paint messages) is answered at once.
bool starts_work(UINT msg, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:  // every control's notice and the menu's items
    case WM_TIMER:
    case WM_CONTEXTMENU:
    case WM_SYSCOMMAND:
    case WM_CLOSE:
      return true;
    case kTrayMessage:  // not the mouse moving over the icon
      return is_tray_kind(lp);
    default:
      return false;
  }
}

void register_window_classes(HINSTANCE instance, WNDPROC main_proc) {
  register_window_class(instance, kMainWindowRow.class_name, main_proc,
                        load_app_icon(instance, SM_CXICON, LR_SHARED),
                        load_app_icon(instance, SM_CXSMICON, LR_SHARED));
  register_window_class(instance, kOwnerClass, DefWindowProcA);
  register_control_classes(instance);
}

}  // namespace

MainWindowWin32::MainWindowWin32(HINSTANCE instance)
    : instance_(instance),
      pictures_(instance),
      balloon_(instance),
      controls_(instance, pictures_, canvas_),
      tray_(instance) {}

bool MainWindowWin32::create(App& app) {
  app_ = &app;
  register_window_classes(instance_, window_proc);
  taskbar_created_ = RegisterWindowMessageA("TaskbarCreated");
  owner_.reset(CreateWindowExA(WS_EX_TOOLWINDOW, kOwnerClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                               nullptr, instance_, nullptr));
  const int x = (GetSystemMetrics(SM_CXSCREEN) - kMainWindowRow.width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - kMainWindowRow.height) / 2;
  window_.reset(CreateWindowExA(0, kMainWindowRow.class_name, kMainWindowRow.title,
                                WS_POPUP | WS_CLIPCHILDREN, x, y, kMainWindowRow.width,
                                kMainWindowRow.height, owner_.get(), nullptr, instance_, this));
  if (!window_) return false;
  controls_.create(hwnd_);
  raise(kMainWindow, Event::kCreated);
  if (!hwnd_) return true;  // the created event may already have closed it
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  return true;
}

void MainWindowWin32::raise(ControlId control, Event event, int arg) {
  const EventHandler handler = handler_for(control, event);
  if (handler && app_) handler(*app_, arg);
}

LRESULT CALLBACK MainWindowWin32::window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<MainWindowWin32*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    self = static_cast<MainWindowWin32*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  return self ? self->handle(msg, wp, lp) : DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT MainWindowWin32::handle(UINT msg, WPARAM wp, LPARAM lp) {
  if (waiting_answering() && starts_work(msg, lp)) {
    put_off_until_wait_ends(hwnd_, msg, wp, lp);
    return 0;
  }
  switch (msg) {
    case WM_COMMAND:
      on_command(wp, lp);
      return 0;
    case WM_TIMER:
      if (auto id = control_from_window_id(static_cast<int>(wp))) raise(*id, Event::kElapsed);
      return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      return reinterpret_cast<LRESULT>(
          controls_.colours(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp)));
    case kAddTrayIconMessage:
      tray_.add(hwnd_);
      return 0;
    case kTrayMessage:
      for (const TrayKind& k : kTrayKinds) {
        if (k.mouse_message == static_cast<UINT>(lp)) raise(kMainWindow, Event::kTrayIcon, k.kind);
      }
      return 0;
    case WM_ACTIVATE:
      if (on_activate(wp)) return 0;
      break;
    case WM_SETFOCUS:
      if (HWND f = controls_.remembered_focus(); f && IsWindow(f)) SetFocus(f);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      paint_dc dc(hwnd_);
      paint_content(dc.get());
      return 0;
    }
    case WM_PRINTCLIENT:
      paint_content(reinterpret_cast<HDC>(wp));
      return 0;
    case WM_DESTROY:
      on_destroy();
      return 0;
    case WM_NCDESTROY:
      window_.release();  // already on its way
      hwnd_ = nullptr;
      break;
    default:
      if (msg == taskbar_created_ && taskbar_created_ != 0) tray_.add_again();
      break;
  }
  return DefWindowProcA(hwnd_, msg, wp, lp);
}

void MainWindowWin32::on_command(WPARAM wp, LPARAM lp) {
  const WORD id = LOWORD(wp);
  const WORD code = HIWORD(wp);
  if (lp == 0 && code == 0) {  // a tray-menu item (posted after the menu closed)
    const long index = static_cast<long>(id) - kFirstMenuCommand;
    if (index >= 0 && index < tray_menu_end() - tray_menu_begin()) {
      const MenuItemRow& item = tray_menu_begin()[index];
      if (item.handler && app_) item.handler(*app_, 0);
    }
    return;
  }
  const std::optional<ControlId> control = control_from_window_id(id);
  if (control && controls_.hwnd(*control) == reinterpret_cast<HWND>(lp)) {
    on_control_notice(*control, code);
  }
}

void MainWindowWin32::on_control_notice(ControlId id, WORD code) {
  const ControlKind kind = control_row(id).kind;
  for (const Notice& n : kNotices) {
    if (n.kind == kind && n.code == code) raise(id, n.event);
  }
}

bool MainWindowWin32::on_activate(WPARAM wp) {
  if (LOWORD(wp) == WA_INACTIVE) {
    const HWND focus = GetFocus();
    if (focus && IsChild(hwnd_, focus)) controls_.remember_focus(focus);
    return false;
  }
  const HWND focus = controls_.remembered_focus();
  if (HIWORD(wp) || !focus || !IsWindow(focus) || !IsWindowEnabled(focus)) return false;
  // Give the focus back where it was, not to the window itself.
  SetFocus(focus);
  return true;
}

void MainWindowWin32::on_destroy() {
  raise(kMainWindow, Event::kDestroying);
  tray_.remove();  // also when no handler took the icon down
  controls_.stop_timers();
  balloon_.close();
  PostQuitMessage(0);
}

void MainWindowWin32::paint_content(HDC dc) {
  RECT r;
  GetClientRect(hwnd_, &r);
  unique_hbrush background(CreateSolidBrush(to_colorref(kMainWindowRow.background)));
  FillRect(dc, &r, background.get());
  draw_bitmap(dc, pictures_.skin(), 0, 0);
}

}  // namespace lanchuan::win32
