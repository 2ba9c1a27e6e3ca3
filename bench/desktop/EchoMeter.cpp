// SPDX-License-Identifier: GPL-3.0-or-later
#include "EchoMeter.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <poll.h>

#include <algorithm>
#include <cstring>

using namespace std::chrono_literals;

namespace {

// A text cursor is a line a pixel or two wide; its blinking must not pass for an echo.
constexpr int CursorWidth = 3;
// How often the pixels are looked at when no damage report comes.
constexpr auto SlowLook = 50ms;

Atom atom(Display *display, const char *name)
{
    return XInternAtom(display, name, False);
}

double msBetween(EchoMeter::Clock::time_point from, EchoMeter::Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

} // namespace

EchoMeter::EchoMeter(unsigned long window) : m_window(window)
{
    m_display = XOpenDisplay(nullptr);
    if (!m_display) {
        m_error = "no X display";
        return;
    }
    int error = 0;
    if (!XDamageQueryExtension(m_display, &m_damageEvent, &error)) {
        m_error = "the display has no damage extension";
        return;
    }
    XWindowAttributes attributes;
    if (!window || !XGetWindowAttributes(m_display, window, &attributes)) {
        m_error = "the window is gone";
        return;
    }
    m_width = attributes.width;
    m_height = attributes.height;
    m_boxRows = m_height;
    m_root = DefaultRootWindow(m_display);
    // Answers to pings go to the root window, for the window manager that sent them; Qt sends
    // them to whoever selects the root's structure changes (or redirects its children).
    XSelectInput(m_display, m_root, StructureNotifyMask);
    m_damage = XDamageCreate(m_display, window, XDamageReportNonEmpty);
    m_owner = XCreateSimpleWindow(m_display, m_root, 0, 0, 1, 1, 0, 0, 0);
    XSync(m_display, False);
}

EchoMeter::~EchoMeter()
{
    if (!m_display)
        return;
    if (m_damage)
        XDamageDestroy(m_display, m_damage);
    XCloseDisplay(m_display);
}

std::optional<EchoMeter::Picture> EchoMeter::grab(int top, int rows)
{
    XImage *image = XGetImage(m_display, m_window, 0, top, m_width, rows, AllPlanes, ZPixmap);
    if (!image)
        return std::nullopt;
    Picture picture;
    picture.bytesPerLine = image->bytes_per_line;
    picture.bytesPerPixel = image->bits_per_pixel / 8;
    picture.rows = rows;
    picture.bytes.assign(image->data, image->data + std::size_t(image->bytes_per_line) * rows);
    XDestroyImage(image);
    return picture;
}

EchoMeter::Change EchoMeter::compare(const Picture &before, const Picture &after)
{
    Change change;
    if (before.bytes.size() != after.bytes.size() || !before.bytesPerPixel)
        return change;
    const int columns = before.bytesPerLine / before.bytesPerPixel;
    for (int row = 0; row < before.rows; ++row) {
        const char *a = before.bytes.data() + std::size_t(row) * before.bytesPerLine;
        const char *b = after.bytes.data() + std::size_t(row) * before.bytesPerLine;
        if (std::memcmp(a, b, before.bytesPerLine) == 0)
            continue;
        for (int column = 0; column < columns; ++column) {
            const int at = column * before.bytesPerPixel;
            if (std::memcmp(a + at, b + at, before.bytesPerPixel) == 0)
                continue;
            change.left = change.left < 0 ? column : std::min(change.left, column);
            change.right = std::max(change.right, column);
            change.top = change.top < 0 ? row : change.top;
            change.bottom = row;
        }
    }
    return change;
}

bool EchoMeter::findTextBox(const Key &key, std::chrono::milliseconds timeout)
{
    const auto before = grab(0, m_height);
    if (!before)
        return false;
    key();
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        m_damaged = false;
        pump(std::min(deadline, Clock::now() + SlowLook),
            [this](const XEvent &) { return m_damaged; });
        const auto after = grab(0, m_height);
        if (!after)
            return false;
        const Change change = compare(*before, *after);
        if (change.width() > CursorWidth) {
            // A little above and below: a glyph that reaches further than the first one did.
            m_boxTop = std::max(0, change.top - 4);
            m_boxRows = std::min(m_height, change.bottom + 5) - m_boxTop;
            return true;
        }
    }
    return false;
}

std::optional<double> EchoMeter::echo(const Key &key, std::chrono::milliseconds timeout)
{
    settle(0ms);
    const auto before = grab(m_boxTop, m_boxRows);
    if (!before)
        return std::nullopt;
    m_damaged = false;
    const Clock::time_point pressed = key();
    const auto deadline = pressed + timeout;
    while (Clock::now() < deadline) {
        m_damaged = false;
        const bool reported = pump(std::min(deadline, Clock::now() + SlowLook),
            [this](const XEvent &) { return m_damaged; });
        const Clock::time_point seen = reported ? m_damagedAt : Clock::now();
        const auto after = grab(m_boxTop, m_boxRows);
        if (!after)
            return std::nullopt;
        if (compare(*before, *after).width() > CursorWidth) {
            if (!reported)
                ++m_polledEchoes;
            return msBetween(pressed, seen);
        }
    }
    return std::nullopt;
}

bool EchoMeter::ping(Clock::time_point deadline)
{
    const long id = 0x5e000000 + ++m_pings;
    const Atom protocols = atom(m_display, "WM_PROTOCOLS");
    const Atom pingAtom = atom(m_display, "_NET_WM_PING");
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = m_window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(pingAtom);
    event.xclient.data.l[1] = id;
    event.xclient.data.l[2] = long(m_window);
    // No event mask: the event goes to the program that made the window.
    XSendEvent(m_display, m_window, False, NoEventMask, &event);
    XFlush(m_display);
    return pump(deadline, [&](const XEvent &reply) {
        return reply.type == ClientMessage && reply.xclient.window == m_root
            && reply.xclient.message_type == protocols && Atom(reply.xclient.data.l[0]) == pingAtom
            && reply.xclient.data.l[1] == id;
    });
}

std::optional<double> EchoMeter::answer(Clock::time_point since, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    if (!ping(deadline) || !ping(deadline))
        return std::nullopt;
    return msBetween(since, Clock::now());
}

void EchoMeter::settle(std::chrono::milliseconds duration)
{
    pump(Clock::now() + duration, [](const XEvent &) { return false; });
}

bool EchoMeter::offerClipboard(std::string text)
{
    const long words = XExtendedMaxRequestSize(m_display) ? XExtendedMaxRequestSize(m_display)
                                                          : XMaxRequestSize(m_display);
    if (long(text.size() / 4) + 64 > words)
        return false;
    m_clipboard = std::move(text);
    XSetSelectionOwner(
        m_display, atom(m_display, "CLIPBOARD"), m_clipboard.empty() ? None : m_owner, CurrentTime);
    XSync(m_display, False);
    return true;
}

void EchoMeter::answerSelection(const XEvent &event)
{
    const XSelectionRequestEvent &request = event.xselectionrequest;
    XEvent reply {};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = None;
    // Clients from before the conventions settled name no property: the target stands for it.
    const Atom property = request.property != None ? request.property : request.target;
    const Atom utf8 = atom(m_display, "UTF8_STRING");
    const Atom text[] = { utf8, XA_STRING, atom(m_display, "TEXT"), atom(m_display, "text/plain"),
        atom(m_display, "text/plain;charset=utf-8") };
    const Atom targets = atom(m_display, "TARGETS");
    if (request.owner == m_owner && !m_clipboard.empty()) {
        if (request.target == targets) {
            long offered[std::size(text) + 1] = { long(targets) };
            std::copy(std::begin(text), std::end(text), offered + 1);
            XChangeProperty(m_display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                reinterpret_cast<unsigned char *>(offered), int(std::size(offered)));
            reply.xselection.property = property;
        } else if (std::find(std::begin(text), std::end(text), request.target) != std::end(text)) {
            // Ordinary words, so every text target gets the same bytes. Xlib sends a property this
            // long as one big request, which the server takes up to several megabytes.
            const Atom type = request.target == atom(m_display, "TEXT") ? utf8 : request.target;
            XChangeProperty(m_display, request.requestor, property, type, 8, PropModeReplace,
                reinterpret_cast<const unsigned char *>(m_clipboard.data()),
                int(m_clipboard.size()));
            reply.xselection.property = property;
        }
    }
    XSendEvent(m_display, request.requestor, False, NoEventMask, &reply);
    XFlush(m_display);
}

bool EchoMeter::pump(Clock::time_point deadline, const std::function<bool(const XEvent &)> &done)
{
    for (;;) {
        while (XPending(m_display)) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == m_damageEvent + XDamageNotify) {
                m_damaged = true;
                m_damagedAt = Clock::now();
                XDamageSubtract(m_display, m_damage, None, None);
                XFlush(m_display);
            } else if (event.type == SelectionRequest) {
                answerSelection(event);
            }
            if (done(event))
                return true;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= 0ms)
            return false;
        pollfd connection { ConnectionNumber(m_display), POLLIN, 0 };
        poll(&connection, 1, int(left.count()));
    }
}
