// The custom-drawn control look: edit boxes and the combo box get a flat
// one-pixel frame in the colour scheme's frame colour. One scheme for the
// whole UI thread; switching repaints every window of the thread.
#pragma once

#include <windows.h>

#include "ui/layout.h"

namespace lanchuan::win32 {

inline COLORREF to_colorref(Rgb c) { return RGB(c.r, c.g, c.b); }

// Scheme 1 blue, 2 olive green, 3 silver; anything else keeps the platform's
// own frames.
void apply_look(int colour_scheme);

// Subclasses an edit box or combo box so that it draws the scheme's frame,
// and so that its own context menu waits for the end of a query's wait.
void install_framed_look(HWND control, ControlKind kind);

// Subclasses an edit box so that typed characters other than control
// characters, digits and '-' are dropped. Pasted text is not filtered.
void install_integer_input(HWND edit);

}  // namespace lanchuan::win32
