// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Desktop.h"

#include <QString>

#include <QPoint>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Finds and looks at top-level windows straight through Xlib on a connection of its own: the one
// window search of the tests and the desktop benchmark. Each look is a
// round trip of well under a millisecond, so a test can follow a window step by step while it
// slides, which polling with command-line tools is far too slow for.
class XWindowProbe
{
public:
    using WindowId = unsigned long;

    using Place = desktop::WindowGeometry;

    // On the display DISPLAY names, or on `display`.
    explicit XWindowProbe(const QString &display = {});
    ~XWindowProbe();
    XWindowProbe(const XWindowProbe &) = delete;
    XWindowProbe &operator=(const XWindowProbe &) = delete;

    // Whether the display could be opened; a probe without one finds nothing.
    bool connected() const;

    // The topmost client window titled exactly `title` that is mapped on the screen.
    std::optional<WindowId> findViewable(const QString &title);
    // All such windows, topmost first.
    std::vector<WindowId> viewableTitled(const QString &title);
    // The mapped client windows whose WM_CLASS class is `resourceClass` (in any case).
    std::vector<WindowId> viewableOfClass(const QString &resourceClass);
    // Where the window is on the screen, whether mapped or not; nothing once it is destroyed.
    std::optional<Place> locate(WindowId window);

    // From now on collects every place the window (its frame, where the window manager gave it
    // one) is moved to, as the X server reports it: also places it stays at only for an instant.
    void watchMoves(WindowId window);
    // The places collected since the last call, oldest first.
    std::vector<QPoint> takeMoves();

    // From now on notes when another client, such as a window manager that carries out a move,
    // grabs the pointer away from the window.
    void watchPointerGrabs(WindowId window);
    // Whether that has happened since.
    bool pointerGrabbed();

private:
    std::vector<WindowId> viewable(const std::function<bool(WindowId)> &matches);
    // Reads what the X server has sent, keeping what a watch asked for.
    void readEvents();

    struct Connection;
    std::unique_ptr<Connection> m_connection;
};
