// SPDX-License-Identifier: GPL-3.0-or-later
#include "XkbBellCounter.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

struct XkbBellCounter::Connection
{
    Display *display = nullptr;
    int eventBase = 0;
    bool listening = false;
};

XkbBellCounter::XkbBellCounter() : m_connection(std::make_unique<Connection>())
{
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    int errorBase = 0;
    int result = 0;
    m_connection->display
        = XkbOpenDisplay(nullptr, &m_connection->eventBase, &errorBase, &major, &minor, &result);
    if (!m_connection->display || result != XkbOD_Success)
        return;
    m_connection->listening = XkbSelectEvents(
        m_connection->display, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
    // The selection must reach the server before any bell the caller is about to cause.
    XSync(m_connection->display, False);
}

XkbBellCounter::~XkbBellCounter()
{
    if (m_connection->display)
        XCloseDisplay(m_connection->display);
}

bool XkbBellCounter::listening() const
{
    return m_connection->listening;
}

int XkbBellCounter::count()
{
    Display *display = m_connection->display;
    if (!m_connection->listening)
        return 0;
    XSync(display, False);
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != m_connection->eventBase)
            continue;
        const auto *xkb = reinterpret_cast<const XkbAnyEvent *>(&event);
        if (xkb->xkb_type == XkbBellNotify)
            ++m_count;
    }
    return m_count;
}
