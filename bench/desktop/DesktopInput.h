// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <string>
#include <string_view>

struct _XDisplay;

// Types through the XTest extension on a connection of its own and finds windows by title, so
// that a key's time is taken where the X server gets the key, not when a helper program starts.
class DesktopInput
{
public:
    using Clock = std::chrono::steady_clock;

    DesktopInput();
    ~DesktopInput();
    DesktopInput(const DesktopInput &) = delete;
    DesktopInput &operator=(const DesktopInput &) = delete;

    // Whether the display is there and has XTest.
    bool ready() const { return m_ready; }

    // Lower-case letters, digits and spaces, one tap each.
    void type(std::string_view text);
    // Taps Return or Esc; the time is taken right after the press has been sent to the server.
    Clock::time_point pressReturn();
    Clock::time_point pressEscape();

    // Whether a client window titled exactly `title` is mapped on the screen.
    bool viewable(const std::string &title);

private:
    void tap(unsigned long keysym);
    Clock::time_point press(unsigned long keysym);

    _XDisplay *m_display = nullptr;
    bool m_ready = false;
};
