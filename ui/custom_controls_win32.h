// The window classes of the controls the platform has no ready-made kind for:
// image buttons, labels (plain and transparent), the panel and the canvas.
// Each reports its events to its parent as WM_COMMAND, like the platform's
// own controls; the panel passes what it receives on to the main window.
#pragma once

#include <windows.h>

#include "ui/layout.h"
#include "ui/pictures_win32.h"

namespace lanchuan::win32 {

class CanvasWin32;

constexpr const char* kImageButtonClass = "LanchuanImageButton";
constexpr const char* kLabelClass = "LanchuanLabel";
constexpr const char* kPanelClass = "LanchuanPanel";
constexpr const char* kCanvasClass = "LanchuanCanvas";

// WM_COMMAND notification codes of our own controls (BN_CLICKED for clicks).
constexpr WORD kNotifyLeftPressed = 0x7F01;
constexpr WORD kNotifyLeftReleased = 0x7F02;
constexpr WORD kNotifyRightPressed = 0x7F03;

// What a control of ours needs at creation (CreateWindowEx's last argument).
struct ControlCreateInfo {
  const ControlRow* row = nullptr;
  ButtonPictures pictures{};
  CanvasWin32* canvas = nullptr;
};

void register_control_classes(HINSTANCE instance);

// Sends WM_COMMAND with `code` from `control` to its parent.
void notify_parent(HWND control, WORD code);

// The create info of a window in WM_NCCREATE.
inline const ControlCreateInfo* create_info(LPARAM lp) {
  return static_cast<const ControlCreateInfo*>(
      reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
}

// Registration helpers of the single classes.
void register_image_button_class(HINSTANCE instance);
void register_label_classes(HINSTANCE instance);  // label and panel
void register_canvas_class(HINSTANCE instance);

}  // namespace lanchuan::win32
