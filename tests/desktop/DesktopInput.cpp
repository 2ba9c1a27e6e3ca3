// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopInput.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <thread>

namespace {

// A window destroyed between two looks must not end the benchmark through Xlib's handler.
int ignoreErrors(Display *, XErrorEvent *)
{
    return 0;
}

} // namespace

DesktopInput::DesktopInput()
{
    m_display = XOpenDisplay(nullptr);
    if (!m_display)
        return;
    XSetErrorHandler(ignoreErrors);
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    m_ready = XTestQueryExtension(m_display, &event, &error, &major, &minor);
}

DesktopInput::~DesktopInput()
{
    if (m_display)
        XCloseDisplay(m_display);
}

DesktopInput::Clock::time_point DesktopInput::tap(unsigned long keysym)
{
    const Clock::time_point pressed = press(keysym);
    XSync(m_display, False);
    return pressed;
}

void DesktopInput::chord(unsigned long modifier, unsigned long keysym)
{
    const KeyCode held = XKeysymToKeycode(m_display, modifier);
    XTestFakeKeyEvent(m_display, held, True, CurrentTime);
    tap(keysym);
    XTestFakeKeyEvent(m_display, held, False, CurrentTime);
    XSync(m_display, False);
}

void DesktopInput::burst(std::string_view keys)
{
    for (const char c : keys) {
        const KeyCode code = XKeysymToKeycode(m_display, keysymOf(c));
        XTestFakeKeyEvent(m_display, code, True, CurrentTime);
        XTestFakeKeyEvent(m_display, code, False, CurrentTime);
    }
    XSync(m_display, False);
}

unsigned long DesktopInput::keysymOf(char c) const
{
    if (c == ' ')
        return XK_space;
    if (c == '\n')
        return XK_Return;
    const char name[2] = { c, 0 };
    return XStringToKeysym(name);
}

void DesktopInput::type(std::string_view text)
{
    for (const char c : text) {
        tap(keysymOf(c));
        // Paced like fast typing, so no key is merged into auto-repeat or lost.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

DesktopInput::Clock::time_point DesktopInput::pressReturn()
{
    return press(XK_Return);
}

DesktopInput::Clock::time_point DesktopInput::pressEscape()
{
    return press(XK_Escape);
}

DesktopInput::Clock::time_point DesktopInput::press(unsigned long keysym)
{
    const KeyCode code = XKeysymToKeycode(m_display, keysym);
    XTestFakeKeyEvent(m_display, code, True, CurrentTime);
    XFlush(m_display);
    const Clock::time_point pressed = Clock::now();
    XTestFakeKeyEvent(m_display, code, False, CurrentTime);
    XFlush(m_display);
    return pressed;
}
