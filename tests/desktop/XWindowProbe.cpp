// SPDX-License-Identifier: GPL-3.0-or-later
#include "XWindowProbe.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <functional>
#include <utility>

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
    std::vector<QPoint> moves;
    Window grabWatched = 0;
    bool grabbed = false;
};

XWindowProbe::XWindowProbe(const QString &display) : m_connection(std::make_unique<Connection>())
{
    m_connection->display
        = XOpenDisplay(display.isEmpty() ? nullptr : display.toLocal8Bit().constData());
    XSetErrorHandler(ignoreErrors);
}

XWindowProbe::~XWindowProbe()
{
    if (m_connection->display)
        XCloseDisplay(m_connection->display);
}

bool XWindowProbe::connected() const
{
    return m_connection->display != nullptr;
}

struct Tree
{
    bool known = false;
    Window root = 0;
    Window parent = 0;
    std::vector<Window> children; // bottom to top
};

static Tree treeOf(Display *display, Window window)
{
    Tree tree;
    Window *children = nullptr;
    unsigned int count = 0;
    tree.known = XQueryTree(display, window, &tree.root, &tree.parent, &children, &count) != 0;
    if (children) {
        tree.children.assign(children, children + count);
        XFree(children);
    }
    return tree;
}

static QByteArray titleOf(Display *display, Window window)
{
    XTextProperty name;
    if (!XGetWMName(display, window, &name) || !name.value)
        return {};
    QByteArray title(reinterpret_cast<const char *>(name.value), static_cast<int>(name.nitems));
    XFree(name.value);
    return title;
}

static QByteArray classOf(Display *display, Window window)
{
    XClassHint hint {};
    if (!XGetClassHint(display, window, &hint))
        return {};
    QByteArray resourceClass(hint.res_class ? hint.res_class : "");
    XFree(hint.res_name);
    XFree(hint.res_class);
    return resourceClass;
}

// The window manager puts each client window into a frame: look two levels down from the root,
// topmost first. A window that matches is not searched further down.
static void search(Display *display, Window parent, int depth,
    const std::function<bool(XWindowProbe::WindowId)> &matches,
    std::vector<XWindowProbe::WindowId> &found)
{
    const Tree tree = treeOf(display, parent);
    for (auto child = tree.children.rbegin(); child != tree.children.rend(); ++child) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, *child, &attributes)
            || attributes.map_state != IsViewable)
            continue;
        if (matches(*child))
            found.push_back(*child);
        else if (depth > 1)
            search(display, *child, depth - 1, matches, found);
    }
}

std::vector<XWindowProbe::WindowId> XWindowProbe::viewable(
    const std::function<bool(WindowId)> &matches)
{
    std::vector<WindowId> found;
    if (Display *display = m_connection->display)
        search(display, DefaultRootWindow(display), 2, matches, found);
    return found;
}

std::vector<XWindowProbe::WindowId> XWindowProbe::viewableTitled(const QString &title)
{
    const QByteArray wanted = title.toUtf8();
    return viewable(
        [&](Window window) { return titleOf(m_connection->display, window) == wanted; });
}

std::vector<XWindowProbe::WindowId> XWindowProbe::viewableOfClass(const QString &resourceClass)
{
    const QByteArray wanted = resourceClass.toUtf8();
    return viewable([&](Window window) {
        return classOf(m_connection->display, window).compare(wanted, Qt::CaseInsensitive) == 0;
    });
}

std::optional<XWindowProbe::WindowId> XWindowProbe::findViewable(const QString &title)
{
    const auto found = viewableTitled(title);
    if (found.empty())
        return std::nullopt;
    return found.front();
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
        const Tree tree = treeOf(display, frame);
        if (!tree.known)
            return;
        if (tree.parent == tree.root || tree.parent == 0)
            break;
        frame = tree.parent;
    }
    m_connection->watched = frame;
    XSelectInput(display, frame, StructureNotifyMask);
    XSync(display, False);
}

void XWindowProbe::readEvents()
{
    Display *display = m_connection->display;
    XSync(display, False);
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ConfigureNotify && event.xconfigure.window == m_connection->watched)
            m_connection->moves.emplace_back(event.xconfigure.x, event.xconfigure.y);
        else if (event.type == LeaveNotify && event.xcrossing.window == m_connection->grabWatched
            && event.xcrossing.mode == NotifyGrab)
            m_connection->grabbed = true;
    }
}

std::vector<QPoint> XWindowProbe::takeMoves()
{
    if (!m_connection->display || !m_connection->watched)
        return {};
    readEvents();
    return std::exchange(m_connection->moves, {});
}

void XWindowProbe::watchPointerGrabs(WindowId window)
{
    Display *display = m_connection->display;
    if (!display)
        return;
    m_connection->grabWatched = window;
    m_connection->grabbed = false;
    XSelectInput(display, window, LeaveWindowMask);
    XSync(display, False);
}

bool XWindowProbe::pointerGrabbed()
{
    if (!m_connection->display || !m_connection->grabWatched)
        return false;
    readEvents();
    return m_connection->grabbed;
}
