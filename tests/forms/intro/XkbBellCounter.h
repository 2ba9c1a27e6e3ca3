// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

// Counts the X server's keyboard bells, whoever rings them, as XKB bell notifications on a
// connection of its own: what a user would hear as the desktop's beep.
class XkbBellCounter
{
public:
    XkbBellCounter();
    ~XkbBellCounter();
    XkbBellCounter(const XkbBellCounter &) = delete;
    XkbBellCounter &operator=(const XkbBellCounter &) = delete;

    // False when the display has no XKB extension; nothing is counted then.
    bool listening() const;
    // Bells rung since the counter was made (reads what the server has sent so far).
    int count();

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
    int m_count = 0;
};
