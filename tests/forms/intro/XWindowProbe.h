// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <QPoint>

#include <memory>
#include <optional>
#include <vector>

// Looks at top-level windows straight through Xlib on a connection of its own. Each look is a
// round trip of well under a millisecond, so a test can follow a window step by step while it
// slides, which polling with command-line tools is far too slow for.
class XWindowProbe
{
public:
    using WindowId = unsigned long;

    struct Place
    {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        bool viewable = false;
    };

    XWindowProbe();
    ~XWindowProbe();
    XWindowProbe(const XWindowProbe &) = delete;
    XWindowProbe &operator=(const XWindowProbe &) = delete;

    // A client window titled exactly `title` that is mapped on the screen.
    std::optional<WindowId> findViewable(const QString &title);
    // Where the window is on the screen, whether mapped or not; nothing once it is destroyed.
    std::optional<Place> locate(WindowId window);

    // From now on collects every place the window (its frame, where the window manager gave it
    // one) is moved to, as the X server reports it: also places it stays at only for an instant.
    void watchMoves(WindowId window);
    // The places collected since the last call, oldest first.
    std::vector<QPoint> takeMoves();

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};
