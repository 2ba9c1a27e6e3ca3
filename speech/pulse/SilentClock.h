// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SoundServer.h"

#include <pulse/pulseaudio.h>

#include <cstddef>

// The pace of a text that plays into nothing (no server, or its stream failed): its samples are
// taken as fast as they would have sounded, a step at a time and a step's worth ahead, as a real
// buffer would take them, so the text takes as long as it would have taken to hear.
//
// Made, used and destroyed on the sound server's loop thread or under its lock.
class SilentClock
{
public:
    // The first tick comes at once. `tick` runs on the loop's thread with `owner`, and may
    // destroy the clock.
    SilentClock(pa_mainloop_api *api, pa_time_event_cb_t tick, void *owner);

    // How many samples are due by now that were not taken yet.
    std::size_t due() const;
    void took(std::size_t samples);
    // The next tick comes a step from now.
    void next();

private:
    pa_mainloop_api *m_api;
    Timer m_timer;
    pa_usec_t m_start;
    std::size_t m_taken = 0;
};
