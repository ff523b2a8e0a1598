// The main window as data: every control with its place, caption, design-time
// state and looks. The window code builds the window from this table and the
// tests read the same table; which handler an event runs is app/events.h.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "app/control_id.h"

namespace lanchuan {

enum class ControlKind {
  kTransparentLabel,
  kImageButton,
  kPanel,
  kTimer,
  kLabel,
  kEditBox,
  kComboBox,
  kCheckBox,
  kCanvas,
  kBalloonTip,
};

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
};
constexpr bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

enum class FontKind { kDefaultGui, kSong14 };

// Picture sets of the image buttons and the canvas (files under ui/images/).
enum class PictureSet { kNone, kBigButton, kSettings, kMinimise, kClose, kDial };

// Flags of a control row.
enum : unsigned {
  kEnabled = 1u << 0,
  kTicked = 1u << 1,
  kVisible = 1u << 2,
  kTabStop = 1u << 3,       // reached by Tab
  kIntegerInput = 1u << 4,  // only digits and '-' are typed in
  kHandCursor = 1u << 5,
};
constexpr unsigned kShown = kEnabled | kVisible;

struct ControlRow {
  ControlId id;
  const char* name;  // the design name
  ControlKind kind;
  ControlId parent;
  Rect rect;  // relative to the parent's top-left corner
  const char* caption;
  unsigned flags;
  Rgb text_colour;
  Rgb back_colour;
  FontKind font;
  PictureSet pictures;
  int timer_period_ms;  // timers only
};

struct WindowRow {
  const char* class_name;
  const char* title;
  int width;
  int height;
  Rgb background;
};

extern const WindowRow kMainWindowRow;

// One row per ControlId, in the enum's order, which is the creation order.
// Of two overlapping siblings the later one lies above the earlier one.
const ControlRow& control_row(ControlId id);
const ControlRow* control_table_begin();
const ControlRow* control_table_end();

// The number a control window carries as its id (GetDlgItem).
constexpr int control_window_id(ControlId id) { return 1000 + index_of(id); }
std::optional<ControlId> control_from_window_id(int window_id);

// The next control that Tab (forward) or Shift+Tab reaches from `current`,
// skipping those `usable` refuses; none when no tab stop is usable.
std::optional<ControlId> next_tab_stop(std::optional<ControlId> current, bool forward,
                                       const std::function<bool(ControlId)>& usable);

}  // namespace lanchuan
