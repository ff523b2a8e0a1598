// Runs the handler that the event table names for an event.
#pragma once

#include "app/app.h"
#include "ui/layout.h"

namespace lanchuan {

// `arg` is the tray event's kind; the other handlers take no argument.
void dispatch(App& app, Handler handler, int arg);

}  // namespace lanchuan
