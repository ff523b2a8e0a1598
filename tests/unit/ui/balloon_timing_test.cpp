#include "ui/balloon_timing.h"

#include <gtest/gtest.h>

#include <vector>

namespace lanchuan {
namespace {

using P = BalloonPhase;

struct Sample {
  int at_ms;  // since the request
  P phase;
  int transparency;
};

// Advances in 1 ms steps and checks the samples on the way.
void expect_timeline(BalloonTiming& tip, const std::vector<Sample>& samples) {
  int now = 0;
  for (const Sample& s : samples) {
    while (now < s.at_ms) {
      tip.advance(1);
      ++now;
    }
    EXPECT_EQ(tip.phase(), s.phase) << "at " << s.at_ms << " ms";
    EXPECT_EQ(tip.transparency_percent(), s.transparency) << "at " << s.at_ms << " ms";
  }
}

TEST(BalloonTiming, AutoHidingTipTimeline) {
  BalloonTiming tip;
  tip.request(true);
  expect_timeline(tip, {
                           {0, P::kWaiting, 100},
                           {599, P::kWaiting, 100},
                           {600, P::kFadingIn, 100},
                           {610, P::kFadingIn, 80},
                           {640, P::kFadingIn, 20},
                           {650, P::kUp, 0},
                           {3649, P::kUp, 0},
                           {3650, P::kFadingOut, 0},
                           {3660, P::kFadingOut, 20},
                           {3690, P::kFadingOut, 80},
                           {3700, P::kNone, 100},
                       });
  EXPECT_FALSE(tip.visible());
  EXPECT_EQ(tip.ms_until_change(), -1);
}

TEST(BalloonTiming, StayingTipStaysUntilUserInput) {
  BalloonTiming tip;
  tip.request(false);
  tip.advance(650);
  EXPECT_EQ(tip.phase(), P::kUp);
  EXPECT_EQ(tip.ms_until_change(), -1);
  tip.advance(60 * 60 * 1000);
  EXPECT_EQ(tip.phase(), P::kUp);
  tip.user_input();
  EXPECT_EQ(tip.phase(), P::kNone);
  EXPECT_FALSE(tip.visible());
}

TEST(BalloonTiming, UserInputLeavesAnAutoHidingOrPendingTipAlone) {
  BalloonTiming hiding;
  hiding.request(true);
  hiding.advance(700);
  hiding.user_input();
  EXPECT_EQ(hiding.phase(), P::kUp);

  BalloonTiming pending;
  pending.request(false);
  pending.advance(300);
  pending.user_input();
  EXPECT_EQ(pending.phase(), P::kWaiting);
  pending.advance(300);
  EXPECT_TRUE(pending.visible());
}

TEST(BalloonTiming, OneLateTickCoversSeveralPhases) {
  BalloonTiming tip;
  tip.request(true);
  tip.advance(625);  // delay over, fade half done
  EXPECT_EQ(tip.phase(), P::kFadingIn);
  EXPECT_EQ(tip.transparency_percent(), 60);
  EXPECT_EQ(tip.ms_until_change(), 5);
  tip.advance(10000);
  EXPECT_EQ(tip.phase(), P::kNone);
}

TEST(BalloonTiming, NewRequestRestartsTheDelay) {
  BalloonTiming tip;
  tip.request(false);
  tip.advance(700);
  ASSERT_TRUE(tip.visible());
  tip.request(true);
  EXPECT_EQ(tip.phase(), P::kWaiting);
  EXPECT_FALSE(tip.visible());
  EXPECT_EQ(tip.ms_until_change(), 600);
  EXPECT_TRUE(tip.auto_hide());
}

TEST(BalloonTiming, DismissAndNegativeTime) {
  BalloonTiming tip;
  tip.request(true);
  tip.advance(-50);
  EXPECT_EQ(tip.ms_until_change(), 600);
  tip.dismiss();
  EXPECT_EQ(tip.phase(), P::kNone);
  tip.advance(1000);
  EXPECT_EQ(tip.phase(), P::kNone);
}

TEST(BalloonTiming, DesignedTransparencyIsTheFloorOfTheFade) {
  BalloonTimingConfig config;
  config.designed_transparency = 30;
  BalloonTiming tip(config);
  tip.request(true);
  tip.advance(600 + 30);
  EXPECT_EQ(tip.phase(), P::kFadingIn);
  EXPECT_EQ(tip.transparency_percent(), 40);
  tip.advance(10);
  EXPECT_EQ(tip.phase(), P::kUp);
  EXPECT_EQ(tip.transparency_percent(), 30);
}

}  // namespace
}  // namespace lanchuan
