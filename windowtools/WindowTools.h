// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Clock.h"
#include "FramePacer.h"
#include "TwipWindow.h"

#include <functional>

// The routines every window uses to wait, to change its place in the stacking order, to be
// dragged without a title bar and to slide across the screen. None of them keeps state.
namespace WindowTools {

// One pass of the event loop: everything pending is handled, then it returns.
using EventLoopPass = std::function<void()>;
void processPendingEvents();

// Handles events as they come, sleeping in between, for at most `maxSeconds`; then it returns.
using EventLoopWait = std::function<void(double maxSeconds)>;
void waitForEvents(double maxSeconds);

// Returns once `seconds` have passed since the clock's current second, rounded half to even,
// running the event loop all the while. So the wait lies between seconds - 0.5 and
// seconds + 0.5. The elapsed time is measured on a steady clock, so midnight does not matter.
void Pause(
    int &seconds, const Clock &clock = Clock::system(), const EventLoopWait &wait = waitForEvents);

// Raise the window into, or take it out of, the keep-above band without moving it. A hidden
// window stays hidden and gets the new band when it is shown.
void MakeTopmost(TwipWindow &window);
void MakeNotTopmost(TwipWindow &window);

// Asks the window manager to leave the window out of task bars. Call it while the window is
// withdrawn, just before it is mapped (from a show event that is not spontaneous): a window
// manager clears the state of a withdrawn window. Does nothing off X11.
void keepOutOfTaskBar(QWidget &window);

// Whether the application's connection to its X display has broken (the X server went away);
// false on any other platform. May be asked from any thread once it has been asked on the main
// thread.
bool displayConnectionBroken();

// Called from a mouse press on the window: the window follows the pointer while the button is
// held and stays where it is dropped. A click without movement leaves it where it is.
void BeginDragMove(TwipWindow &window);

// Down in 300-twip steps until Top is greater than 7200; always at least one step.
void SlideDown(TwipWindow &window, FramePacer &&pacer = FramePacer(),
    const EventLoopPass &pass = processPendingEvents);
// Up in 300-twip steps until Top is less than minus the window's width; at least one step.
void SlideUpOut(TwipWindow &window, FramePacer &&pacer = FramePacer(),
    const EventLoopPass &pass = processPendingEvents);

// floor(top) + delta as the window arithmetic computes it, in single precision through its
// seven-digit decimal text. Throws std::overflow_error when the result is not a finite number.
float steppedTop(float top, float delta);

} // namespace WindowTools
