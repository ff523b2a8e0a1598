// Where the balloon tip goes and what shape it has: a rounded body around the
// text and a tail whose tip touches the anchor point. The body lies on the
// side of the anchor that has more screen, the tail at the nearer end.
#pragma once

namespace lanchuan {

struct Point {
  int x = 0;
  int y = 0;
};

struct BalloonShape {
  int x = 0;  // the window, in screen coordinates
  int y = 0;
  int width = 0;
  int height = 0;
  int body_top = 0;  // the body, in window coordinates
  int body_bottom = 0;
  Point tail[3];  // in window coordinates; tail[2] is the tip
  int text_left = 0;
  int text_top = 0;
};

constexpr int kBalloonMarginX = 10;
constexpr int kBalloonMarginY = 8;
constexpr int kBalloonTailHeight = 14;
constexpr int kBalloonTailWidth = 14;
constexpr int kBalloonTailInset = 18;  // from the body's end to the tip

BalloonShape balloon_shape(Point anchor, int text_width, int text_height, int screen_width,
                           int screen_height);

}  // namespace lanchuan
