// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <string>
#include <string_view>

struct _XDisplay;

// Types through the XTest extension on a connection of its own, so that a key's time is taken
// where the X server gets the key, not when a helper program starts.
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

    // Taps a key by its X keysym and waits until the server has handed both events on, so that
    // what another connection sends afterwards reaches the program after the key. The time is
    // taken right after the press has been sent.
    Clock::time_point tap(unsigned long keysym);
    // Holds `modifier` (a keysym such as Control_L) over a tap of `keysym`.
    void chord(unsigned long modifier, unsigned long keysym);
    // Digits, letters and spaces, a newline for Return, sent back to back without waiting for
    // anything: as fast as the server takes them.
    void burst(std::string_view keys);

private:
    unsigned long keysymOf(char c) const;
    Clock::time_point press(unsigned long keysym);

    _XDisplay *m_display = nullptr;
    bool m_ready = false;
};
