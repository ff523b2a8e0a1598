#include "ui/balloon_shape.h"

#include <algorithm>

namespace lanchuan {

BalloonShape balloon_shape(Point anchor, int text_width, int text_height, int screen_width,
                           int screen_height) {
  BalloonShape s;
  s.width = text_width + 2 * kBalloonMarginX;
  const int body_height = text_height + 2 * kBalloonMarginY;
  s.height = body_height + kBalloonTailHeight;

  const bool body_above = anchor.y > screen_height / 2;
  s.body_top = body_above ? 0 : kBalloonTailHeight;
  s.body_bottom = s.body_top + body_height;
  s.text_left = kBalloonMarginX;
  s.text_top = s.body_top + kBalloonMarginY;

  const bool tail_right = anchor.x > screen_width / 2;
  const int tip_x = tail_right ? s.width - kBalloonTailInset : kBalloonTailInset;
  const int tip_y = body_above ? s.height : 0;
  // The tail's base lies just inside the body so that the outline is closed.
  const int base_y = body_above ? s.body_bottom - 1 : s.body_top + 1;
  const int far_x = tail_right ? tip_x - kBalloonTailWidth : tip_x + kBalloonTailWidth;
  s.tail[0] = {tip_x, base_y};
  s.tail[1] = {far_x, base_y};
  s.tail[2] = {tip_x, tip_y};

  s.x = std::clamp(anchor.x - tip_x, 0, std::max(0, screen_width - s.width));
  s.y = std::clamp(anchor.y - tip_y, 0, std::max(0, screen_height - s.height));
  return s;
}

}  // namespace lanchuan
