// SPDX-License-Identifier: GPL-3.0-or-later
#include "SilentClock.h"
#include "PlaybackStream.h"

#include <pulse/rtclock.h>

#include <algorithm>

namespace {

// Read in steps of this much; as much is taken ahead.
constexpr pa_usec_t SilentStep = 40 * playback::Millisecond;

std::size_t samplesIn(pa_usec_t usec)
{
    return pa_usec_to_bytes(usec, &playback::Samples) / pa_frame_size(&playback::Samples);
}

} // namespace

SilentClock::SilentClock(pa_mainloop_api *api, pa_time_event_cb_t tick, void *owner)
    : m_api(api), m_timer(makeTimer(api, 0, tick, owner)), m_start(pa_rtclock_now())
{ }

std::size_t SilentClock::due() const
{
    const std::size_t allowed = samplesIn(pa_rtclock_now() - m_start) + samplesIn(SilentStep);
    return allowed - std::min(m_taken, allowed);
}

void SilentClock::took(std::size_t samples)
{
    m_taken += samples;
}

void SilentClock::next()
{
    restartTimer(m_api, m_timer.get(), SilentStep);
}
