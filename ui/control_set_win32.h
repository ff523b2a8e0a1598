// The controls of the main window as real windows, made from the layout
// table, and the control operations the handlers use on them.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>

#include "app/ports.h"
#include "platform/win32/handles_win32.h"
#include "ui/canvas_win32.h"
#include "ui/layout.h"
#include "ui/pictures_win32.h"

namespace lanchuan::win32 {

class ControlSet : public Controls {
 public:
  ControlSet(HINSTANCE instance, const Pictures& pictures, CanvasWin32& canvas);
  ControlSet(const ControlSet&) = delete;
  ControlSet& operator=(const ControlSet&) = delete;

  // Creates every control of the layout, in the table's order, and starts the
  // timers with their design-time periods. Timers tick to `main`.
  void create(HWND main);
  // Stops the timers (the window is going).
  void stop_timers();

  HWND hwnd(ControlId id) const { return hwnds_[static_cast<std::size_t>(index_of(id))]; }
  // The control a window belongs to: itself, or the combo box around its edit
  // part.
  std::optional<ControlId> find(HWND window) const;
  // WM_CTLCOLOR*: sets the control's colours into the DC; its background brush.
  HBRUSH colours(HDC dc, HWND child) const;
  // The control that had or was given the keyboard focus last, to give it
  // back when the window is activated again.
  HWND remembered_focus() const { return focus_; }
  void remember_focus(HWND window) { focus_ = window; }

  std::string text(ControlId id) const override;
  void set_text(ControlId id, const std::string& text) override;
  bool ticked(ControlId id) const override;
  void set_ticked(ControlId id, bool ticked) override;
  bool enabled(ControlId id) const override;
  void set_enabled(ControlId id, bool enabled) override;
  int timer_period(ControlId id) const override;
  void set_timer_period(ControlId id, int period_ms) override;
  void give_focus(ControlId id) override;
  int item_count(ControlId id) const override;
  std::string item_text(ControlId id, int index) const override;
  int width(ControlId id) const override;
  int height(ControlId id) const override;

 private:
  HWND create_control(const ControlRow& row, HWND parent);
  void finish_control(const ControlRow& row, HWND hwnd);

  HINSTANCE instance_;
  const Pictures& pictures_;
  CanvasWin32& canvas_;
  HWND main_ = nullptr;
  HWND focus_ = nullptr;
  std::array<HWND, kControlCount> hwnds_{};
  std::array<int, kControlCount> periods_{};
  unique_hfont song14_;
  unique_hbrush white_;
};

}  // namespace lanchuan::win32
