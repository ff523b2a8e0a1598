// A main window without windows: every control's state in memory, with the
// design-time state of the layout, and a record of what the handlers did.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "app/ports.h"

namespace lanchuan::fakes {

// Stand-ins for the server list: seven addresses in the list's form (scheme
// and host, no closing slash) that no test ever contacts.
inline std::vector<std::string> fake_server_list() {
  return {"http://s1.test", "http://s2.test", "http://s3.test", "http://s4.test",
          "http://s5.test", "http://s6.test", "http://s7.test"};
}

struct FakeControlState {
  std::string text;
  bool ticked = false;
  bool enabled = true;
  int period = 0;
  int timer_starts = 0;  // how often a positive, different period (re)started it
  std::vector<std::string> items;
  int width = 0;
  int height = 0;
  std::vector<std::string> text_history;  // every set_text, in order
};

struct TimerCall {
  ControlId id;
  int period_ms;
};

class FakeControls : public Controls {
 public:
  FakeControls() { apply_design_state(); }

  // The layout's design-time state, as after window creation and before the
  // created event.
  void apply_design_state() {
    for (FakeControlState& s : states_) s = FakeControlState{};
    at(ControlId::标_时间服务器).enabled = false;
    at(ControlId::标_时间服务器1).enabled = false;
    at(ControlId::标_时间服务器2).enabled = false;
    set_items(ControlId::组合框1, fake_server_list());
    at(ControlId::组合框1).text = at(ControlId::组合框1).items.front();
    at(ControlId::选择框_自动尝试下一服务器).ticked = true;
    at(ControlId::编辑框_间隔秒).text = "5";
    at(ControlId::编辑框_延迟秒).text = "60";
    at(ControlId::画板1).width = 80;
    at(ControlId::画板1).height = 80;
    at(ControlId::时钟1).period = 1000;
    at(ControlId::时钟_更新).period = 2000;
    focus_history.clear();
    timer_calls.clear();
  }

  FakeControlState& at(ControlId id) { return states_[static_cast<std::size_t>(index_of(id))]; }
  const FakeControlState& at(ControlId id) const {
    return states_[static_cast<std::size_t>(index_of(id))];
  }
  void set_items(ControlId id, std::vector<std::string> items) { at(id).items = std::move(items); }
  ControlId focused() const {
    return focus_history.empty() ? ControlId::kCount : focus_history.back();
  }

  std::string text(ControlId id) const override { return at(id).text; }
  void set_text(ControlId id, const std::string& value) override {
    at(id).text = value;
    at(id).text_history.push_back(value);
  }
  bool ticked(ControlId id) const override { return at(id).ticked; }
  void set_ticked(ControlId id, bool value) override { at(id).ticked = value; }
  bool enabled(ControlId id) const override { return at(id).enabled; }
  void set_enabled(ControlId id, bool value) override { at(id).enabled = value; }
  int timer_period(ControlId id) const override { return at(id).period; }
  // 0 or less stops; the period the timer already has changes nothing; any
  // other positive period restarts it.
  void set_timer_period(ControlId id, int period_ms) override {
    timer_calls.push_back({id, period_ms});
    FakeControlState& s = at(id);
    if (period_ms <= 0) {
      s.period = 0;
    } else if (period_ms != s.period) {
      s.period = period_ms;
      ++s.timer_starts;
    }
  }
  void give_focus(ControlId id) override { focus_history.push_back(id); }
  int item_count(ControlId id) const override { return static_cast<int>(at(id).items.size()); }
  std::string item_text(ControlId id, int index) const override {
    const std::vector<std::string>& items = at(id).items;
    if (index < 0 || index >= static_cast<int>(items.size())) return std::string();
    return items[static_cast<std::size_t>(index)];
  }
  int width(ControlId id) const override { return at(id).width; }
  int height(ControlId id) const override { return at(id).height; }

  std::vector<ControlId> focus_history;
  std::vector<TimerCall> timer_calls;

 private:
  std::array<FakeControlState, static_cast<std::size_t>(kControlCount)> states_{};
};

}  // namespace lanchuan::fakes
