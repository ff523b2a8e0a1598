// The balloon tip's life in time, apart from any window: the appear delay,
// the fades and the display time. The Win32 tip feeds it elapsed time and
// applies the phase and transparency it reports.
#pragma once

namespace lanchuan {

enum class BalloonPhase { kNone, kWaiting, kFadingIn, kUp, kFadingOut };

struct BalloonTimingConfig {
  int appear_delay_ms = 600;
  int fade_step_ms = 10;
  int fade_step_percent = 20;
  int shown_ms = 3000;
  int designed_transparency = 0;  // percent, when fully appeared
};

class BalloonTiming {
 public:
  explicit BalloonTiming(const BalloonTimingConfig& config = {}) : config_(config) {}

  // Asks for a new tip; any tip up is gone at once.
  void request(bool auto_hide);
  // Takes the tip away at once, whatever its phase.
  void dismiss();
  // A mouse press, wheel turn or key press: a tip that stays goes away.
  void user_input();
  void advance(int elapsed_ms);

  BalloonPhase phase() const { return phase_; }
  bool visible() const;
  bool auto_hide() const { return auto_hide_; }
  // 100 is fully transparent.
  int transparency_percent() const { return transparency_; }
  // Milliseconds until the next change of phase or transparency; -1 for none.
  int ms_until_change() const;

 private:
  void step();

  BalloonTimingConfig config_;
  BalloonPhase phase_ = BalloonPhase::kNone;
  bool auto_hide_ = true;
  int transparency_ = 100;
  int remaining_ms_ = -1;
};

}  // namespace lanchuan
