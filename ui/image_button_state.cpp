#include "ui/image_button_state.h"

namespace lanchuan {

ButtonLook ImageButtonState::look() const {
  if (!enabled_) return ButtonLook::kDisabled;
  // Dragged off while pressed, the button looks released; back over it, pressed again.
  if (armed_) return inside_ ? ButtonLook::kPressed : ButtonLook::kNormal;
  return inside_ ? ButtonLook::kHover : ButtonLook::kNormal;
}

void ImageButtonState::set_enabled(bool enabled) {
  enabled_ = enabled;
  if (!enabled) armed_ = false;
}

void ImageButtonState::mouse_moved(bool inside) { inside_ = inside; }

bool ImageButtonState::left_down() {
  if (!enabled_) return false;
  inside_ = true;  // the press happened on the button
  armed_ = true;
  return true;
}

bool ImageButtonState::left_up(bool inside) {
  inside_ = inside;
  const bool click = enabled_ && armed_ && inside;
  armed_ = false;
  return click;
}

void ImageButtonState::capture_lost() { armed_ = false; }

ButtonLook picture_for(ButtonLook look, const bool (&has_picture)[kButtonLookCount]) {
  return has_picture[static_cast<int>(look)] ? look : ButtonLook::kNormal;
}

}  // namespace lanchuan
