// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Measurements on what a test heard: 16 kHz mono signed 16-bit samples, from a speech engine's
// output or the sound server's monitor.
namespace audio {

constexpr int SampleRate = 16000;
// A sample is audible when its magnitude reaches this (about -36 dBFS), for the tests and the
// desktop benchmark alike: comfortably above a silent monitor's noise and Flite's quiet
// lead-in, well below speech.
constexpr int AudibleThreshold = 500;

constexpr bool isAudible(int16_t sample, int threshold = AudibleThreshold)
{
    return sample >= threshold || sample <= -threshold;
}

double rms(std::span<const int16_t> samples);

struct SoundSpan
{
    bool found = false;
    std::size_t first = 0; // first audible sample
    std::size_t last = 0;  // last audible sample
    double seconds() const { return found ? double(last - first + 1) / SampleRate : 0.0; }
    double startSeconds() const { return double(first) / SampleRate; }
};

// From the first to the last audible sample.
SoundSpan nonSilentSpan(std::span<const int16_t> samples, int threshold = AudibleThreshold);
bool isNonSilent(std::span<const int16_t> samples, int threshold = AudibleThreshold);

// The median fundamental frequency over voiced frames, by normalised autocorrelation searched
// from 50 to 450 Hz; 0 when no frame is voiced.
double medianF0(std::span<const int16_t> samples);

} // namespace audio
