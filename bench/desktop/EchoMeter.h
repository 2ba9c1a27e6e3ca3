// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

// Watches one program window from outside, on an X connection of its own: when its text box's
// pixels change (the server's damage reports, then a look at the pixels), and when the program
// has worked through everything sent to it before (a _NET_WM_PING, which the toolkit answers on
// its main thread in turn with the keys). It can also serve the clipboard, since a program that
// pastes asks the owner while it waits.
class EchoMeter
{
public:
    using Clock = std::chrono::steady_clock;
    using Key = std::function<Clock::time_point()>;

    explicit EchoMeter(unsigned long window);
    ~EchoMeter();
    EchoMeter(const EchoMeter &) = delete;
    EchoMeter &operator=(const EchoMeter &) = delete;

    // Empty when the display, the window and the damage extension are there.
    const std::string &error() const { return m_error; }

    // Learns which rows of the window are the text box: those that change when `key` types a
    // character. Give it a second character, so that nothing answering the first one (a button
    // that becomes enabled) is counted.
    bool findTextBox(const Key &key, std::chrono::milliseconds timeout);
    // From the key's time to the first damage after which the text box differs from before it by
    // more than a text cursor's blink (wider than a few pixels). Empty if it never does.
    std::optional<double> echo(const Key &key, std::chrono::milliseconds timeout);
    // How long from `since` until the program has answered two pings sent one after the other
    // (the first lets the key before it through the toolkit's queue, the second returns once
    // that queue has been worked through). Empty on time-out.
    std::optional<double> answer(Clock::time_point since, std::chrono::milliseconds timeout);
    // Keeps answering the clipboard and reading damage for a while, instead of sleeping.
    void settle(std::chrono::milliseconds duration);

    // Offers `text` as the clipboard, served while the meter waits; empty gives it up. False
    // when the server would not take that much in one request.
    bool offerClipboard(std::string text);

    // Echoes seen only by the slow look that stands in for a damage report that never came.
    int polledEchoes() const { return m_polledEchoes; }

private:
    struct Picture
    {
        std::vector<char> bytes;
        int bytesPerLine = 0;
        int bytesPerPixel = 0;
        int rows = 0;
    };
    struct Change
    {
        int left = -1, right = -1, top = -1, bottom = -1;
        int width() const { return left < 0 ? 0 : right - left + 1; }
    };

    std::optional<Picture> grab(int top, int rows);
    static Change compare(const Picture &before, const Picture &after);
    bool ping(Clock::time_point deadline);
    // Handles events until `done` holds for one or the deadline passes; damage reports set
    // m_damaged, clipboard requests are answered on the way.
    bool pump(Clock::time_point deadline, const std::function<bool(const union _XEvent &)> &done);
    void answerSelection(const union _XEvent &request);

    _XDisplay *m_display = nullptr;
    unsigned long m_window = 0;
    unsigned long m_root = 0;
    unsigned long m_owner = 0;
    unsigned long m_damage = 0;
    int m_damageEvent = 0;
    int m_width = 0;
    int m_height = 0;
    int m_boxTop = 0;
    int m_boxRows = 0;
    bool m_damaged = false;
    Clock::time_point m_damagedAt;
    long m_pings = 0;
    int m_polledEchoes = 0;
    std::string m_clipboard;
    std::string m_error;
};
