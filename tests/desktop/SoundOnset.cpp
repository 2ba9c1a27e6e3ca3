// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoundOnset.h"

#include "AudioAnalysis.h"

SoundOnset::SoundOnset(int sampleRate, int threshold)
    : m_samplePeriod(std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / sampleRate)))
    , m_threshold(threshold)
{ }

void SoundOnset::feed(std::span<const int16_t> samples, Clock::time_point arrival)
{
    const auto count = static_cast<long>(samples.size());
    for (long i = 0; i < count; ++i) {
        if (!audio::isAudible(samples[std::size_t(i)], m_threshold))
            continue;
        const Clock::time_point played = arrival - (count - 1 - i) * m_samplePeriod;
        m_lastAudible = played;
        if (m_armed && played >= m_from) {
            m_onset = played;
            m_armed = false;
        }
    }
}

void SoundOnset::arm(Clock::time_point from)
{
    m_armed = true;
    m_from = from;
    m_onset.reset();
}
