// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The clocks Pause reads: the wall clock's seconds since midnight (which restarts at midnight)
// and a steady clock that never wraps, to measure how long has passed.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual double secondsSinceMidnight() const = 0;
    virtual double steadySeconds() const = 0;

    static const Clock &system();
};
