// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTools.h"
#include "X11.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace WindowTools {

void processPendingEvents()
{
    QCoreApplication::processEvents();
}

void waitForEvents(double maxSeconds)
{
    // The timer ends the wait when nothing else does; in between the thread sleeps in the
    // event loop instead of spinning a core.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.start(static_cast<int>(std::ceil(std::clamp(maxSeconds, 0.0, 3600.0) * 1000.0)));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void Pause(int &seconds, const Clock &clock, const EventLoopWait &wait)
{
    // The start is the wall clock's second rounded half to even; from then on only the steady
    // clock is read, so a wait across midnight still ends on time.
    const double now = clock.secondsSinceMidnight();
    const double roundedStart = std::nearbyint(now); // the default rounding mode: half to even
    const double start = clock.steadySeconds() - (now - roundedStart);
    if (!std::isfinite(start))
        throw std::domain_error("Invalid procedure call or argument");
    for (double left = seconds - (clock.steadySeconds() - start); left > 0;
         left = seconds - (clock.steadySeconds() - start))
        wait(left);
}

float steppedTop(float top, float delta)
{
    const float next = std::floor(top) + delta;
    if (!std::isfinite(next))
        throw std::overflow_error("Overflow");
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", static_cast<double>(next));
    return std::strtof(text, nullptr);
}

namespace {

void setKeepAbove(TwipWindow &window, bool above)
{
    QWidget *widget = window.widget();
    Qt::WindowFlags flags = widget->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, above);
    flags.setFlag(Qt::WindowStaysOnBottomHint, false);
    // QWidget::setWindowFlags would hide a visible window and make a new native one. The
    // native window takes the hint in place (the window manager sees _NET_WM_STATE change);
    // the widget only records it so later changes start from the right flags.
    if (QWindow *handle = widget->windowHandle())
        handle->setFlags(flags);
    widget->overrideWindowFlags(flags);
    if (widget->isVisible()) {
        widget->raise();
        widget->activateWindow();
    }
}

template <typename Step, typename Done>
void slide(TwipWindow &window, FramePacer &pacer, const EventLoopPass &pass, Step step, Done done)
{
    pacer.start();
    for (bool first = true;; first = false) {
        if (!first)
            pacer.waitForNextFrame();
        pass();
        window.setTop(steppedTop(window.top(), step));
        if (done())
            return;
    }
}

} // namespace

void keepOutOfTaskBar(QWidget &window)
{
    X11::keepOutOfTaskBar(window);
}

bool displayConnectionBroken()
{
    return X11::connectionBroken();
}

void MakeTopmost(TwipWindow &window)
{
    setKeepAbove(window, true);
}

void MakeNotTopmost(TwipWindow &window)
{
    setKeepAbove(window, false);
}

void SlideDown(TwipWindow &window, FramePacer &&pacer, const EventLoopPass &pass)
{
    slide(window, pacer, pass, 300.0f, [&] { return window.top() > 7200.0f; });
}

void SlideUpOut(TwipWindow &window, FramePacer &&pacer, const EventLoopPass &pass)
{
    slide(window, pacer, pass, -300.0f, [&] { return -window.width() > window.top(); });
}

} // namespace WindowTools
