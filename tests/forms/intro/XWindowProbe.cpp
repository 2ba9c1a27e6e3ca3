// SPDX-License-Identifier: GPL-3.0-or-later
#include "XWindowProbe.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// A window destroyed between two calls would end the test through Xlib's default handler.
int ignoreErrors(Display *, XErrorEvent *)
{
    return 0;
}

} // namespace

struct XWindowProbe::Connection
{
    Display *display = nullptr;
    Window watched = 0;
};

XWindowProbe::XWindowProbe() : m_connection(std::make_unique<Connection>())
{
    m_connection->display = XOpenDisplay(nullptr);
    XSetErrorHandler(ignoreErrors);
}

XWindowProbe::~XWindowProbe()
{
    if (m_connection->display)
        XCloseDisplay(m_connection->display);
}

static bool titled(Display *display, Window window, const QByteArray &title)
{
    XTextProperty name;
    if (!XGetWMName(display, window, &name) || !name.value)
        return false;
    const bool same
        = QByteArray(reinterpret_cast<const char *>(name.value), static_cast<int>(name.nitems))
        == title;
    XFree(name.value);
    return same;
}

// The window manager puts each client window into a frame: look two levels down from the root.
static std::optional<Window> search(
    Display *display, Window parent, const QByteArray &title, int depth)
{
    Window root = 0;
    Window parentOfParent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, parent, &root, &parentOfParent, &children, &count))
        return std::nullopt;
    std::optional<Window> found;
    for (unsigned int i = count; i-- > 0 && !found;) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, children[i], &attributes)
            || attributes.map_state != IsViewable)
            continue;
        if (titled(display, children[i], title))
            found = children[i];
        else if (depth > 1)
            found = search(display, children[i], title, depth - 1);
    }
    if (children)
        XFree(children);
    return found;
}

std::optional<XWindowProbe::WindowId> XWindowProbe::findViewable(const QString &title)
{
    Display *display = m_connection->display;
    if (!display)
        return std::nullopt;
    const auto found = search(display, DefaultRootWindow(display), title.toUtf8(), 2);
    if (!found)
        return std::nullopt;
    return static_cast<WindowId>(*found);
}

std::optional<XWindowProbe::Place> XWindowProbe::locate(WindowId window)
{
    Display *display = m_connection->display;
    if (!display)
        return std::nullopt;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return std::nullopt;
    Place place;
    Window child = 0;
    if (!XTranslateCoordinates(
            display, window, DefaultRootWindow(display), 0, 0, &place.x, &place.y, &child))
        return std::nullopt;
    place.width = attributes.width;
    place.height = attributes.height;
    place.viewable = attributes.map_state == IsViewable;
    return place;
}

void XWindowProbe::watchMoves(WindowId window)
{
    Display *display = m_connection->display;
    if (!display)
        return;
    // The frame is the child of the root that holds the window; the root's own coordinates
    // are what its configure notifications carry.
    Window frame = window;
    for (;;) {
        Window root = 0;
        Window parent = 0;
        Window *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, frame, &root, &parent, &children, &count))
            return;
        if (children)
            XFree(children);
        if (parent == root || parent == 0)
            break;
        frame = parent;
    }
    m_connection->watched = frame;
    XSelectInput(display, frame, StructureNotifyMask);
    XSync(display, False);
}

std::vector<QPoint> XWindowProbe::takeMoves()
{
    std::vector<QPoint> moves;
    Display *display = m_connection->display;
    if (!display || !m_connection->watched)
        return moves;
    XSync(display, False);
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ConfigureNotify && event.xconfigure.window == m_connection->watched)
            moves.emplace_back(event.xconfigure.x, event.xconfigure.y);
    }
    return moves;
}
