// SPDX-License-Identifier: GPL-3.0-or-later
#include "X11.h"

#include <QGuiApplication>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace X11 {

xcb_connection_t *connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

bool connectionBroken()
{
    // The connection lives as long as the application object.
    static xcb_connection_t *const x11 = connection();
    return x11 && xcb_connection_has_error(x11) != 0;
}

namespace {

xcb_atom_t askForAtom(xcb_connection_t *connection, const char *name, bool onlyIfExists)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection,
        xcb_intern_atom(connection, onlyIfExists, static_cast<uint16_t>(strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

// The atom of that name if some client has made it, else XCB_ATOM_NONE: asking must not make
// the atom, or the absence of a window manager could not be told.
xcb_atom_t existingAtom(xcb_connection_t *connection, const char *name)
{
    return askForAtom(connection, name, true);
}

} // namespace

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    return askForAtom(connection, name, false);
}

namespace {

// The 32-bit items of a property, empty where the window or the property is missing.
std::vector<uint32_t> property32(
    xcb_connection_t *connection, xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    std::vector<uint32_t> items;
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, false, window, property, type, 0, 4096), nullptr);
    if (reply && reply->format == 32 && reply->type == type) {
        const auto *values = static_cast<const uint32_t *>(xcb_get_property_value(reply));
        items.assign(values, values + xcb_get_property_value_length(reply) / 4);
    }
    free(reply);
    return items;
}

} // namespace

bool windowManagerSupports(xcb_connection_t *connection, const char *name)
{
    const xcb_atom_t wanted = existingAtom(connection, name);
    const xcb_atom_t check = existingAtom(connection, "_NET_SUPPORTING_WM_CHECK");
    const xcb_atom_t supported = existingAtom(connection, "_NET_SUPPORTED");
    if (wanted == XCB_ATOM_NONE || check == XCB_ATOM_NONE || supported == XCB_ATOM_NONE)
        return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    // A window manager that has gone leaves its properties on the root window; its check
    // window, which names itself, goes with it.
    const std::vector<uint32_t> checkWindow = property32(connection, root, check, XCB_ATOM_WINDOW);
    if (checkWindow.empty()
        || property32(connection, checkWindow.front(), check, XCB_ATOM_WINDOW) != checkWindow)
        return false;
    const std::vector<uint32_t> atoms = property32(connection, root, supported, XCB_ATOM_ATOM);
    return std::find(atoms.begin(), atoms.end(), wanted) != atoms.end();
}

void keepOutOfTaskBar(QWidget &window)
{
    xcb_connection_t *x11 = connection();
    if (!x11)
        return;
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t state = internAtom(x11, "_NET_WM_STATE");
    const xcb_atom_t skipTaskBar = internAtom(x11, "_NET_WM_STATE_SKIP_TASKBAR");
    if (state == XCB_ATOM_NONE || skipTaskBar == XCB_ATOM_NONE)
        return;
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        x11, xcb_get_property(x11, false, id, state, XCB_ATOM_ATOM, 0, 1024), nullptr);
    bool present = false;
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
        const int count = xcb_get_property_value_length(reply) / int(sizeof(xcb_atom_t));
        present = std::find(atoms, atoms + count, skipTaskBar) != atoms + count;
    }
    free(reply);
    if (!present) {
        xcb_change_property(
            x11, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 1, &skipTaskBar);
        xcb_flush(x11);
    }
}

} // namespace X11
