#include "ui/balloon_shape.h"

#include <gtest/gtest.h>

namespace lanchuan {
namespace {

constexpr int kScreenW = 1024;
constexpr int kScreenH = 768;

TEST(BalloonShape, TipTouchesTheAnchorInEveryCorner) {
  const Point anchors[] = {{994, 743}, {30, 25}, {994, 25}, {30, 743}, {512, 385}};
  for (const Point a : anchors) {
    const BalloonShape s = balloon_shape(a, 80, 12, kScreenW, kScreenH);
    EXPECT_EQ(s.x + s.tail[2].x, a.x) << a.x << "," << a.y;
    EXPECT_EQ(s.y + s.tail[2].y, a.y) << a.x << "," << a.y;
    EXPECT_GE(s.x, 0);
    EXPECT_LE(s.x + s.width, kScreenW);
    EXPECT_GE(s.y, 0);
    EXPECT_LE(s.y + s.height, kScreenH);
  }
}

TEST(BalloonShape, BodyAboveALowAnchorAndBelowAHighOne) {
  const BalloonShape low = balloon_shape({994, 743}, 80, 12, kScreenW, kScreenH);
  EXPECT_EQ(low.body_top, 0);
  EXPECT_EQ(low.tail[2].y, low.height);
  EXPECT_LT(low.y + low.body_bottom, 743);

  const BalloonShape high = balloon_shape({30, 25}, 80, 12, kScreenW, kScreenH);
  EXPECT_EQ(high.body_top, kBalloonTailHeight);
  EXPECT_EQ(high.tail[2].y, 0);
  EXPECT_GT(high.y + high.body_top, 25);
}

TEST(BalloonShape, BodyFitsTheTextWithMargins) {
  const BalloonShape s = balloon_shape({994, 743}, 100, 30, kScreenW, kScreenH);
  EXPECT_EQ(s.width, 100 + 2 * kBalloonMarginX);
  EXPECT_EQ(s.body_bottom - s.body_top, 30 + 2 * kBalloonMarginY);
  EXPECT_EQ(s.text_left, kBalloonMarginX);
  EXPECT_EQ(s.text_top, s.body_top + kBalloonMarginY);
}

TEST(BalloonShape, StaysOnScreenNearAnEdge) {
  // So close to the corner that the tip cannot reach: the window stays whole.
  const BalloonShape s = balloon_shape({1023, 767}, 300, 12, kScreenW, kScreenH);
  EXPECT_LE(s.x + s.width, kScreenW);
  EXPECT_LE(s.y + s.height, kScreenH);
}

}  // namespace
}  // namespace lanchuan
