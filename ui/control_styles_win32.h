// How a row of the layout table is made as a window: its class, styles and
// size, and the combo box's list and height. The control set makes the main window's controls from
// it, and the benchmark's window-set reference makes the same windows.
#pragma once

#include <windows.h>

#include "timesync/servers.h"
#include "ui/custom_controls_win32.h"
#include "ui/layout.h"

namespace lanchuan::win32 {

constexpr int kComboListHeight = 160;  // the dropped-down list, at least

struct KindStyle {
  ControlKind kind;
  const char* window_class;  // null: no window (timers, the balloon tip)
  DWORD style;
  DWORD ex_style;
};
inline constexpr KindStyle kKindStyles[] = {
    {ControlKind::kTransparentLabel, kLabelClass, 0, 0},
    {ControlKind::kImageButton, kImageButtonClass, 0, 0},
    {ControlKind::kPanel, kPanelClass, WS_CLIPCHILDREN, 0},
    {ControlKind::kTimer, nullptr, 0, 0},
    {ControlKind::kLabel, kLabelClass, 0, 0},
    {ControlKind::kEditBox, "EDIT", ES_CENTER | ES_AUTOHSCROLL, WS_EX_STATICEDGE},
    // The list is sized to its items when dropped; no integral-height pass on
    // every resize.
    {ControlKind::kComboBox, "COMBOBOX",
     CBS_DROPDOWN | CBS_AUTOHSCROLL | CBS_NOINTEGRALHEIGHT | WS_VSCROLL, 0},
    {ControlKind::kCheckBox, "BUTTON", BS_AUTOCHECKBOX | BS_LEFT | BS_VCENTER, 0},
    {ControlKind::kCanvas, kCanvasClass, 0, 0},
    {ControlKind::kBalloonTip, nullptr, 0, 0},
};

inline const KindStyle& style_of(ControlKind kind) {
  static constexpr KindStyle kNoWindow{ControlKind::kTimer, nullptr, 0, 0};
  for (const KindStyle& k : kKindStyles) {
    if (k.kind == kind) return k;
  }
  return kNoWindow;
}

// The style of a row's window: its kind's, shown and enabled as the row says.
inline DWORD window_style(const ControlRow& row) {
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | style_of(row.kind).style;
  if (row.flags & kVisible) style |= WS_VISIBLE;
  if (!(row.flags & kEnabled)) style |= WS_DISABLED;
  return style;
}

// A combo box's window height includes its dropped-down list.
inline int window_height(const ControlRow& row) {
  return row.kind == ControlKind::kComboBox ? row.rect.height + kComboListHeight : row.rect.height;
}

// A combo box gets its text once its list is filled.
inline const char* window_caption(const ControlRow& row) {
  return row.kind == ControlKind::kComboBox ? "" : row.caption;
}

// Fills a combo box made from `row` with the server list and its text, and
// brings its selection field to the layout's height.
inline void fill_combo_box(HWND combo, const ControlRow& row) {
  for (const char* server : kServerList) {
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(server));
  }
  SetWindowTextA(combo, row.caption);
  // The selection field's height follows the font; bring it to the layout's.
  // What CB_GETITEMHEIGHT reports need not be what CB_SETITEMHEIGHT takes, so
  // the set value is corrected by the measured difference.
  LRESULT item = SendMessageA(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
  for (int attempt = 0; attempt < 3 && item > 0; ++attempt) {
    RECT r;
    GetWindowRect(combo, &r);
    const int difference = row.rect.height - (r.bottom - r.top);
    if (difference == 0) break;
    item += difference;
    if (item <= 0) break;
    SendMessageA(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), item);
  }
}

}  // namespace lanchuan::win32
