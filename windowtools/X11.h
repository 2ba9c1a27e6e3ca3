// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <xcb/xcb.h>

class QWidget;

// The few places where Qt has no word for what the X11 window manager is told.
namespace X11 {

// The connection of the application's X11 display, or null on any other platform.
xcb_connection_t *connection();

// The atom of that name, or XCB_ATOM_NONE.
xcb_atom_t internAtom(xcb_connection_t *connection, const char *name);

// Asks the window manager to leave the window out of task bars. Call it while the window is
// withdrawn, just before it is mapped (from a show event that is not spontaneous): a window
// manager clears the state of a withdrawn window, and Qt merges what is there with its own.
void keepOutOfTaskBar(QWidget &window);

} // namespace X11
