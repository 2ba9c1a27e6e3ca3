// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

// Dates the samples read from a sink's monitor. The server hands a fragment over once its last
// sample has been played, so every sample is dated back from the fragment's arrival by the
// samples that follow it; without that, a fragment's length would be added to every figure.
class SoundOnset
{
public:
    using Clock = std::chrono::steady_clock;

    SoundOnset(int sampleRate, int threshold);

    // Samples that arrived together at `arrival`, oldest first.
    void feed(std::span<const int16_t> samples, Clock::time_point arrival);

    // From now on waits for the first audible sample played at or after `from`.
    void arm(Clock::time_point from);
    // That sample's time, once it has been heard.
    std::optional<Clock::time_point> onset() const { return m_onset; }
    // When the last audible sample so far was played.
    std::optional<Clock::time_point> lastAudible() const { return m_lastAudible; }

private:
    Clock::duration m_samplePeriod;
    int m_threshold;
    bool m_armed = false;
    Clock::time_point m_from;
    std::optional<Clock::time_point> m_onset;
    std::optional<Clock::time_point> m_lastAudible;
};
