// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

// Paces an animation to the display: each step waits until one frame after the previous one.
// Without it a slide's 70-odd steps finish within a few milliseconds and nobody sees them.
class FramePacer
{
public:
    virtual ~FramePacer() = default;
    // Called once before the first step.
    virtual void start();
    // Returns once a frame has passed since the previous step.
    virtual void waitForNextFrame();

    // One frame of the primary screen (about 16 ms at 60 Hz).
    static std::chrono::microseconds displayFrame();

private:
    std::chrono::steady_clock::time_point m_nextFrame;
};
