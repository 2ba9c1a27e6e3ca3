// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AudioAnalysis.h"
#include "Desktop.h"

#include <functional>
#include <vector>

// What the sound server played after `act`: recorded from its monitor until the sound has been
// followed by `quietMs` of silence, or `timeoutMs` passed. Nothing heard gives no non-silent span.
inline std::vector<int16_t> hear(
    const std::function<void()> &act, int timeoutMs = 20000, int quietMs = 700)
{
    desktop::MonitorRecorder recorder;
    recorder.start();
    act();
    desktop::waitUntil(
        [&] {
            const std::vector<int16_t> samples = recorder.samplesSoFar();
            const audio::SoundSpan span = audio::nonSilentSpan(samples);
            return span.found
                && samples.size() - span.last > std::size_t(quietMs) * audio::SampleRate / 1000;
        },
        timeoutMs);
    return recorder.stop();
}

inline double secondsOfSound(const std::vector<int16_t> &samples)
{
    return audio::nonSilentSpan(samples).seconds();
}
