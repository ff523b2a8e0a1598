// Which handler each event of the main window runs, and the tray menu. The
// window raises events; this table names the function each one calls.
#pragma once

#include "app/app.h"
#include "app/control_id.h"

namespace lanchuan {

// A handler as the table holds it. `arg` is the tray event's kind
// (TrayEventKind); the other handlers take no argument.
using EventHandler = void (*)(App& app, int arg);

enum class Event {
  kCreated,
  kDestroying,
  kTrayIcon,  // argument: a TrayEventKind
  kEscape,
  kLeftPressed,
  kLeftReleased,
  kRightPressed,
  kClicked,
  kLostFocus,
  kElapsed,
};

// The tray icon's mouse events, as the tray handler knows them.
enum TrayEventKind { kTrayLeftUp = 1, kTrayLeftDoubleClick = 2, kTrayRightUp = 3 };

struct EventBinding {
  ControlId control;  // kMainWindow for the window's own events
  Event event;
  EventHandler handler;
};

const EventBinding* event_table_begin();
const EventBinding* event_table_end();
// The handler bound to the event; nullptr when there is none.
EventHandler handler_for(ControlId control, Event event);

// The tray menu "右键"; a row without text is a separator.
struct MenuItemRow {
  const char* text;
  EventHandler handler;
};
extern const char* const kTrayMenuCaption;
const MenuItemRow* tray_menu_begin();
const MenuItemRow* tray_menu_end();

}  // namespace lanchuan
