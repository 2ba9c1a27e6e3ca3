// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <xcb/xcb.h>

class QWidget;

// The few places where Qt has no word for what the X11 window manager is told.
namespace X11 {

// The connection of the application's X11 display, or null on any other platform.
xcb_connection_t *connection();

// Whether the application's X11 connection has broken (the X server went away). May be asked
// from any thread once it has been asked on the main thread.
bool connectionBroken();

// The atom of that name, or XCB_ATOM_NONE.
xcb_atom_t internAtom(xcb_connection_t *connection, const char *name);

// Whether a window manager runs that says it carries out the request of that name
// (e.g. "_NET_WM_MOVERESIZE"): the root window names a live check window and lists the name in
// _NET_SUPPORTED. A request sent where nobody carries it out goes nowhere.
bool windowManagerSupports(xcb_connection_t *connection, const char *name);

// Asks the window manager to leave the window out of task bars. Call it while the window is
// withdrawn, just before it is mapped (from a show event that is not spontaneous): a window
// manager clears the state of a withdrawn window, and Qt merges what is there with its own.
void keepOutOfTaskBar(QWidget &window);

} // namespace X11
