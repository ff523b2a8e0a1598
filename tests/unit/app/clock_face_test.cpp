#include "app/clock_face.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "fakes/fake_app.h"

namespace lanchuan {
namespace {

struct HandCase {
  int hour, minute, second;
  CanvasPoint hour_end, minute_end, second_end;
};

void PrintTo(const HandCase& c, std::ostream* os) {
  *os << c.hour << ":" << c.minute << ":" << c.second;
}

class HandGeometryTest : public testing::TestWithParam<HandCase> {};

TEST_P(HandGeometryTest, EndPointsOnThe80PixelDial) {
  const HandCase& c = GetParam();
  const HandGeometry g = compute_hand_geometry(c.hour, c.minute, c.second, 40, 40);
  EXPECT_EQ(g.hour_end.x, c.hour_end.x);
  EXPECT_EQ(g.hour_end.y, c.hour_end.y);
  EXPECT_EQ(g.minute_end.x, c.minute_end.x);
  EXPECT_EQ(g.minute_end.y, c.minute_end.y);
  EXPECT_EQ(g.second_end.x, c.second_end.x);
  EXPECT_EQ(g.second_end.y, c.second_end.y);
}

INSTANTIATE_TEST_SUITE_P(Times, HandGeometryTest,
                         testing::Values(
                             // Every hand straight up; the hour position is -15.
                             HandCase{12, 0, 0, {40, 25}, {40, 20}, {40, 10}},
                             // Hour position 0: pointing right.
                             HandCase{15, 0, 0, {55, 40}, {40, 20}, {40, 10}},
                             // Hour position -75, a whole turn on from -15: up again.
                             HandCase{0, 0, 0, {40, 25}, {40, 20}, {40, 10}},
                             // Hour position 1: one unit clockwise from 3 o'clock.
                             HandCase{15, 15, 0, {54, 41}, {60, 40}, {40, 10}},
                             HandCase{12, 0, 15, {40, 25}, {40, 20}, {70, 40}},
                             // sin(1.57) is just below 1: one pixel short of the full length.
                             HandCase{12, 0, 30, {40, 25}, {40, 20}, {40, 69}},
                             // Hour position trunc(-42.75) = -42, not -43.
                             HandCase{6, 30, 0, {35, 54}, {40, 59}, {40, 10}},
                             HandCase{21, 45, 45, {25, 35}, {20, 40}, {10, 40}},
                             HandCase{23, 59, 59, {38, 25}, {37, 20}, {36, 10}}));

TEST(HandGeometry, TruncatesTowardZeroOnBothSidesOfTheOrigin) {
  // Around (0, 0) the second hand at :45 ends at x = -29.99..., which must
  // become -29, not -30.
  const HandGeometry g = compute_hand_geometry(0, 0, 45, 0, 0);
  EXPECT_EQ(g.second_end.x, -29);
  EXPECT_EQ(g.second_end.y, 0);
  EXPECT_EQ(g.hour_end.x, 0);
  EXPECT_EQ(g.hour_end.y, -14);
}

TEST(HandGeometry, HubIsSixPixelsAcrossTheCentre) {
  const HandGeometry g = compute_hand_geometry(10, 10, 10, 40, 33);
  EXPECT_EQ(g.hub_left, 37);
  EXPECT_EQ(g.hub_top, 30);
  EXPECT_EQ(g.hub_right, 43);
  EXPECT_EQ(g.hub_bottom, 36);
}

DateTime local(int y, int mo, int d, int h, int mi, int s) {
  DateTime t;
  EXPECT_TRUE(make_date_time(y, mo, d, h, mi, s, t));
  return t;
}

TEST(ClockFace, InitTakesTheCentreFromTheCanvasSizeAndDraws) {
  struct SizeCase {
    int width, height, cx, cy;
  };
  for (const SizeCase& c :
       {SizeCase{80, 80, 40, 40}, SizeCase{81, 79, 40, 39}, SizeCase{1, 0, 0, 0}}) {
    fakes::FakeApp f;
    f.controls.at(ControlId::画板1).width = c.width;
    f.controls.at(ControlId::画板1).height = c.height;
    init_clock_face(f.app);
    EXPECT_EQ(f.app.state.clock_centre_x, c.cx) << c.width;
    EXPECT_EQ(f.app.state.clock_centre_y, c.cy) << c.height;
    // Drawn once, around the new centre.
    ASSERT_EQ(f.canvas.ops.size(), 10u);
    EXPECT_EQ(f.canvas.ops[8], "ellipse " + std::to_string(c.cx - 3) + " " +
                                   std::to_string(c.cy - 3) + " " + std::to_string(c.cx + 3) + " " +
                                   std::to_string(c.cy + 3));
  }
}

TEST(ClockFace, DrawsHandsThenHubWithTheirPensOnACleanCanvas) {
  fakes::FakeApp f;
  f.clock.now = local(2026, 12, 8, 15, 15, 30);
  f.app.state.clock_centre_x = 40;
  f.app.state.clock_centre_y = 40;
  draw_clock_face(f.app);
  const std::vector<std::string> expected = {"clear",
                                             "pen 3 192 192 192",
                                             "line 54 41 40 40",  // hour
                                             "pen 2 192 192 192",
                                             "line 60 40 40 40",  // minute
                                             "pen 1 255 0 0",
                                             "line 40 69 40 40",  // second
                                             "pen 2 192 192 192",
                                             "ellipse 37 37 43 43",
                                             "present"};
  EXPECT_EQ(f.canvas.ops, expected);
}

TEST(ClockFace, ShowsThePcClockRoundedToTheSecond) {
  fakes::FakeApp f;
  f.app.state.clock_centre_x = 40;
  f.app.state.clock_centre_y = 40;
  // 12:00:14.6 rounds to :15, whose second hand points right.
  f.clock.now.days = local(2026, 1, 1, 12, 0, 14).days + 0.6 / 86400;
  draw_clock_face(f.app);
  ASSERT_EQ(f.canvas.ops.size(), 10u);
  EXPECT_EQ(f.canvas.ops[6], "line 70 40 40 40");
}

}  // namespace
}  // namespace lanchuan
