#include "ui/balloon_timing.h"

namespace lanchuan {

void BalloonTiming::request(bool auto_hide) {
  auto_hide_ = auto_hide;
  phase_ = BalloonPhase::kWaiting;
  transparency_ = 100;
  remaining_ms_ = config_.appear_delay_ms;
}

void BalloonTiming::dismiss() {
  phase_ = BalloonPhase::kNone;
  transparency_ = 100;
  remaining_ms_ = -1;
}

void BalloonTiming::user_input() {
  const bool showing = phase_ == BalloonPhase::kFadingIn || phase_ == BalloonPhase::kUp;
  if (showing && !auto_hide_) dismiss();
}

bool BalloonTiming::visible() const {
  return phase_ == BalloonPhase::kFadingIn || phase_ == BalloonPhase::kUp ||
         phase_ == BalloonPhase::kFadingOut;
}

int BalloonTiming::ms_until_change() const { return remaining_ms_; }

void BalloonTiming::advance(int elapsed_ms) {
  if (elapsed_ms < 0) elapsed_ms = 0;
  // One late timer tick may cover several steps, even several phases.
  while (remaining_ms_ >= 0 && elapsed_ms >= remaining_ms_) {
    elapsed_ms -= remaining_ms_;
    step();
  }
  if (remaining_ms_ >= 0) remaining_ms_ -= elapsed_ms;
}

void BalloonTiming::step() {
  switch (phase_) {
    case BalloonPhase::kWaiting:
      phase_ = BalloonPhase::kFadingIn;
      transparency_ = 100;
      remaining_ms_ = config_.fade_step_ms;
      break;
    case BalloonPhase::kFadingIn:
      transparency_ -= config_.fade_step_percent;
      if (transparency_ <= config_.designed_transparency) {
        transparency_ = config_.designed_transparency;
        phase_ = BalloonPhase::kUp;
        remaining_ms_ = auto_hide_ ? config_.shown_ms : -1;
      } else {
        remaining_ms_ = config_.fade_step_ms;
      }
      break;
    case BalloonPhase::kUp:
      phase_ = BalloonPhase::kFadingOut;
      remaining_ms_ = config_.fade_step_ms;
      break;
    case BalloonPhase::kFadingOut:
      transparency_ += config_.fade_step_percent;
      if (transparency_ >= 100) {
        dismiss();
      } else {
        remaining_ms_ = config_.fade_step_ms;
      }
      break;
    case BalloonPhase::kNone:
      remaining_ms_ = -1;
      break;
  }
}

}  // namespace lanchuan
