// What an image button shows and when it reports a click, apart from any
// window: the Win32 control feeds it the mouse and reads the picture to draw.
#pragma once

namespace lanchuan {

enum class ButtonLook { kNormal, kHover, kPressed, kDisabled };
constexpr int kButtonLookCount = 4;

class ImageButtonState {
 public:
  ButtonLook look() const;

  void set_enabled(bool enabled);
  // The mouse moved; `inside` tells whether it is over the button now.
  void mouse_moved(bool inside);
  void mouse_left() { mouse_moved(false); }
  // True when the press arms the button (the control then captures the mouse).
  bool left_down();
  // True when this release is a click: pressed on the button, released over it.
  bool left_up(bool inside);
  // Another window took the mouse: the press is abandoned without a click.
  void capture_lost();

 private:
  bool enabled_ = true;
  bool inside_ = false;
  bool armed_ = false;
};

// The picture to draw for `look`: a look without a picture of its own shows
// the normal picture. `has_picture` is indexed by ButtonLook.
ButtonLook picture_for(ButtonLook look, const bool (&has_picture)[kButtonLookCount]);

}  // namespace lanchuan
