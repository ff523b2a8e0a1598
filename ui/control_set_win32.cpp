#include "ui/control_set_win32.h"

#include <vector>

#include "ui/control_styles_win32.h"
#include "ui/custom_controls_win32.h"
#include "ui/look_win32.h"

namespace lanchuan::win32 {

namespace {

std::string window_text(HWND hwnd) {
  const int length = GetWindowTextLengthA(hwnd);
  if (length <= 0) return std::string();
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  const int n = GetWindowTextA(hwnd, buffer.data(), length + 1);
  return std::string(buffer.data(), static_cast<std::size_t>(n > 0 ? n : 0));
}

}  // namespace

ControlSet::ControlSet(HINSTANCE instance, const Pictures& pictures, CanvasWin32& canvas)
    : instance_(instance),
      pictures_(pictures),
      canvas_(canvas),
      song14_(CreateFontA(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, "宋体")),
      white_(CreateSolidBrush(RGB(255, 255, 255))) {}

void ControlSet::create(HWND main) {
  main_ = main;
  // A new child window goes below its siblings, so each parent's children are
  // made from the last row to the first: then a later row lies above an
  // earlier one (the small edit boxes over their check boxes, the title-band
  // buttons over the title) without moving each to the top. The main window's
  // children come first, as the page is one of them.
  const auto create_children_of = [this, main](bool of_main_window) {
    for (const ControlRow* row = control_table_end(); row != control_table_begin();) {
      --row;
      if ((row->parent == kMainWindow) != of_main_window) continue;
      const HWND parent = of_main_window ? main : hwnd(row->parent);
      const HWND created = create_control(*row, parent);
      hwnds_[static_cast<std::size_t>(index_of(row->id))] = created;
      if (created) finish_control(*row, created);
    }
  };
  create_children_of(true);
  create_children_of(false);
  for (const ControlRow* row = control_table_begin(); row != control_table_end(); ++row) {
    if (row->kind == ControlKind::kTimer) set_timer_period(row->id, row->timer_period_ms);
  }
}

HWND ControlSet::create_control(const ControlRow& row, HWND parent) {
  const KindStyle& kind = style_of(row.kind);
  if (!kind.window_class) return nullptr;
  ControlCreateInfo info;
  info.row = &row;
  info.pictures = pictures_.buttons(row.pictures);
  if (row.kind == ControlKind::kCanvas) info.pictures[0] = pictures_.dial();
  info.canvas = &canvas_;
  return CreateWindowExA(kind.ex_style, kind.window_class, window_caption(row), window_style(row),
                         row.rect.x, row.rect.y, row.rect.width, window_height(row), parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_window_id(row.id))),
                         instance_, &info);
}

void ControlSet::finish_control(const ControlRow& row, HWND hwnd) {
  const HFONT font = row.font == FontKind::kSong14
                         ? song14_.get()
                         : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (row.kind == ControlKind::kCheckBox) {
    SendMessageA(hwnd, BM_SETCHECK, (row.flags & kTicked) ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  if (row.kind == ControlKind::kComboBox) fill_combo_box(hwnd, row);
  if (row.kind == ControlKind::kEditBox || row.kind == ControlKind::kComboBox) {
    install_framed_look(hwnd, row.kind);
  }
  if (row.flags & kIntegerInput) install_integer_input(hwnd);
}

void ControlSet::stop_timers() {
  for (const ControlRow* row = control_table_begin(); row != control_table_end(); ++row) {
    if (row->kind == ControlKind::kTimer) set_timer_period(row->id, 0);
  }
}

std::optional<ControlId> ControlSet::find(HWND window) const {
  for (int i = 0; i < kControlCount; ++i) {
    if (hwnds_[static_cast<std::size_t>(i)] == window && window) return static_cast<ControlId>(i);
  }
  const HWND combo = hwnd(ControlId::组合框1);
  if (window && combo && GetParent(window) == combo) return ControlId::组合框1;
  return std::nullopt;
}

HBRUSH ControlSet::colours(HDC dc, HWND child) const {
  // The dropped-down list of the combo box is no child of it on every
  // platform: anything unknown is taken for that list.
  const ControlRow& row = control_row(find(child).value_or(ControlId::组合框1));
  SetTextColor(dc, to_colorref(row.text_colour));
  SetBkColor(dc, to_colorref(row.back_colour));
  return white_.get();
}

std::string ControlSet::text(ControlId id) const { return window_text(hwnd(id)); }

void ControlSet::set_text(ControlId id, const std::string& text) {
  SetWindowTextA(hwnd(id), text.c_str());
}

bool ControlSet::ticked(ControlId id) const {
  return SendMessageA(hwnd(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void ControlSet::set_ticked(ControlId id, bool ticked) {
  SendMessageA(hwnd(id), BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool ControlSet::enabled(ControlId id) const { return IsWindowEnabled(hwnd(id)) != FALSE; }

void ControlSet::set_enabled(ControlId id, bool enabled) { EnableWindow(hwnd(id), enabled); }

int ControlSet::timer_period(ControlId id) const {
  return periods_[static_cast<std::size_t>(index_of(id))];
}

void ControlSet::set_timer_period(ControlId id, int period_ms) {
  int& current = periods_[static_cast<std::size_t>(index_of(id))];
  const UINT_PTR timer = static_cast<UINT_PTR>(control_window_id(id));
  if (period_ms <= 0) {
    if (current > 0) KillTimer(main_, timer);
    current = 0;
  } else if (period_ms != current) {
    // SetTimer with the same id replaces the old timer and counts from now.
    if (SetTimer(main_, timer, static_cast<UINT>(period_ms), nullptr)) current = period_ms;
  }
}

void ControlSet::give_focus(ControlId id) {
  focus_ = hwnd(id);
  // Before the window is shown the focus goes there when the window is
  // activated (the remembered focus is given back then); setting it on the
  // hidden window would only cost start-up time.
  if (IsWindowVisible(main_)) SetFocus(focus_);
}

int ControlSet::item_count(ControlId id) const {
  const LRESULT n = SendMessageA(hwnd(id), CB_GETCOUNT, 0, 0);
  return n > 0 ? static_cast<int>(n) : 0;
}

std::string ControlSet::item_text(ControlId id, int index) const {
  const LRESULT length = SendMessageA(hwnd(id), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR || length <= 0) return std::string();
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  const LRESULT n = SendMessageA(hwnd(id), CB_GETLBTEXT, static_cast<WPARAM>(index),
                                 reinterpret_cast<LPARAM>(buffer.data()));
  if (n == CB_ERR || n < 0) return std::string();
  return std::string(buffer.data(), static_cast<std::size_t>(n));
}

int ControlSet::width(ControlId id) const {
  RECT r{};
  GetClientRect(hwnd(id), &r);
  return r.right;
}

int ControlSet::height(ControlId id) const {
  RECT r{};
  GetClientRect(hwnd(id), &r);
  return r.bottom;
}

}  // namespace lanchuan::win32
