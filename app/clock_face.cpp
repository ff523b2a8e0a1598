// The analogue clock of the PC's own time: hour, minute and second hands and a
// hub on the dial picture of 画板1.
#include "app/clock_face.h"

#include <cmath>
#include <cstdint>

#include "app/handlers.h"

namespace lanchuan {

namespace {

// Positions are in minute units, 60 to a turn, with 0 pointing right; the
// offset of 15 turns 0 to 12 o'clock.
constexpr int kUpOffset = 15;
// The turn is taken as 6.28 radians, not 2 pi: this is why the second hand at
// :30 ends one pixel short of the dial's bottom.
constexpr double kRadiansPerTurn = 6.28;

struct Pen {
  int width;
  std::uint8_t r, g, b;
};
constexpr Pen kHourPen{3, 192, 192, 192};
constexpr Pen kMinutePen{2, 192, 192, 192};
constexpr Pen kSecondPen{1, 255, 0, 0};
constexpr Pen kHubPen{2, 192, 192, 192};

CanvasPoint hand_end(int position, int length, int centre_x, int centre_y) {
  const double angle = position * kRadiansPerTurn / 60;
  // static_cast truncates toward zero, as every conversion here must.
  return CanvasPoint{static_cast<int>(centre_x + std::cos(angle) * length),
                     static_cast<int>(centre_y + std::sin(angle) * length)};
}

void set_pen(Canvas& canvas, const Pen& pen) { canvas.set_pen(pen.width, pen.r, pen.g, pen.b); }

}  // namespace

HandGeometry compute_hand_geometry(int hour, int minute, int second, int centre_x, int centre_y) {
  const int h = hour - kUpOffset;
  const int m = minute - kUpOffset;
  const int s = second - kUpOffset;
  // The 24-hour hour is used as it is: 00:00 and 12:00 are a whole turn apart.
  const int hour_position = static_cast<int>(h * 5 + m / 12.0 + 1);

  HandGeometry g;
  g.hour_end = hand_end(hour_position, kHourHandLength, centre_x, centre_y);
  g.minute_end = hand_end(m, kMinuteHandLength, centre_x, centre_y);
  g.second_end = hand_end(s, kSecondHandLength, centre_x, centre_y);
  g.hub_left = centre_x - kHubRadius;
  g.hub_top = centre_y - kHubRadius;
  g.hub_right = centre_x + kHubRadius;
  g.hub_bottom = centre_y + kHubRadius;
  return g;
}

void init_clock_face(App& app) {
  Controls& c = app.ports.controls;
  app.state.clock_centre_x = static_cast<int>(c.width(ControlId::画板1) / 2.0);
  app.state.clock_centre_y = static_cast<int>(c.height(ControlId::画板1) / 2.0);
  draw_clock_face(app);
}

void draw_clock_face(App& app) {
  Canvas& canvas = app.ports.canvas;
  const int cx = app.state.clock_centre_x;
  const int cy = app.state.clock_centre_y;
  canvas.clear();
  // One reading for all three hands, so they cannot straddle a second.
  const DateTimeParts now = split_date_time(app.ports.clock.now_local());
  const HandGeometry g = compute_hand_geometry(now.hour, now.minute, now.second, cx, cy);

  set_pen(canvas, kHourPen);
  canvas.line(g.hour_end.x, g.hour_end.y, cx, cy);
  set_pen(canvas, kMinutePen);
  canvas.line(g.minute_end.x, g.minute_end.y, cx, cy);
  set_pen(canvas, kSecondPen);
  canvas.line(g.second_end.x, g.second_end.y, cx, cy);
  set_pen(canvas, kHubPen);
  canvas.ellipse(g.hub_left, g.hub_top, g.hub_right, g.hub_bottom);
  canvas.present();
}

}  // namespace lanchuan
