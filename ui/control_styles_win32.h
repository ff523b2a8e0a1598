// How a row of the layout table is made as a window: its class, styles and
// size. The control set makes the main window's controls from it, and the
// benchmark's window-set reference makes the same windows.
#pragma once

#include <windows.h>

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

}  // namespace lanchuan::win32
