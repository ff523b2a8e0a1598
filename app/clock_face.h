// The hands of the small analogue clock on 画板1, as pure geometry so that the
// drawing can be checked without a canvas.
#pragma once

namespace lanchuan {

struct CanvasPoint {
  int x = 0;
  int y = 0;
};

struct HandGeometry {
  CanvasPoint hour_end;
  CanvasPoint minute_end;
  CanvasPoint second_end;
  // The hub's bounding box.
  int hub_left = 0;
  int hub_top = 0;
  int hub_right = 0;
  int hub_bottom = 0;
};

constexpr int kHourHandLength = 15;
constexpr int kMinuteHandLength = 20;
constexpr int kSecondHandLength = 30;
constexpr int kHubRadius = 3;

// hour 0-23; every hand runs from its end point to the centre.
HandGeometry compute_hand_geometry(int hour, int minute, int second, int centre_x, int centre_y);

}  // namespace lanchuan
