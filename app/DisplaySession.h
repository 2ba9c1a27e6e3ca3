// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How the program meets the desktop's display server: which Qt platform it runs on, what it
// says where that platform cannot do what the windows need, and how it ends when the display
// goes away.
namespace DisplaySession {

// Before the application object exists. Where the user has not chosen a platform
// (QT_QPA_PLATFORM unset) and an X display is there, the program runs on X11, also inside a
// Wayland session (through XWayland): a Wayland client cannot keep itself above other windows,
// place itself or slide, so only there does every window behave as it should.
void preferX11();

// After the application object exists. On Wayland, says once on standard error which of the
// windows' features that desktop does not allow.
void reportPlatformLimits();

// After the application object exists. When the connection to the display breaks (logout, the
// X server killed), the platform plugin calls exit(), which runs static destructors while the
// speech workers still synthesise and play: the process then crashes. This ends it first,
// with status 1 and one line on standard error, skipping every destructor.
void endWhenTheDisplayGoesAway();

} // namespace DisplaySession
