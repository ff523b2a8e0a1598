#include "ui/custom_controls_win32.h"

namespace lanchuan::win32 {

void register_control_classes(HINSTANCE instance) {
  register_image_button_class(instance);
  register_label_classes(instance);
  register_canvas_class(instance);
}

void notify_parent(HWND control, WORD code) {
  SendMessageA(GetParent(control), WM_COMMAND,
               MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(control)), code),
               reinterpret_cast<LPARAM>(control));
}

}  // namespace lanchuan::win32
