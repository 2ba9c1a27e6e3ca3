// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace audio {

double rms(std::span<const int16_t> samples)
{
    if (samples.empty())
        return 0.0;
    double sum = 0.0;
    for (int16_t s : samples)
        sum += double(s) * s;
    return std::sqrt(sum / double(samples.size()));
}

SoundSpan nonSilentSpan(std::span<const int16_t> samples, int threshold)
{
    SoundSpan span;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (isAudible(samples[i], threshold)) {
            if (!span.found) {
                span.found = true;
                span.first = i;
            }
            span.last = i;
        }
    }
    return span;
}

bool isNonSilent(std::span<const int16_t> samples, int threshold)
{
    return nonSilentSpan(samples, threshold).found;
}

namespace {

constexpr std::size_t FrameLength = 1024; // 64 ms: two periods at the lowest pitch searched
constexpr std::size_t FrameHop = 256;
constexpr int MinLag = SampleRate / 450;
constexpr int MaxLag = SampleRate / 50;
constexpr double VoicedCorrelation = 0.6;
constexpr double VoicedRms = 300.0;

// The period of one frame in samples, or 0 for an unvoiced frame. Among the lags whose
// correlation comes within 15 % of the best, the shortest wins: multiples of the period
// correlate almost as well and would halve the estimate.
double framePeriod(const double *x)
{
    std::vector<double> r(MaxLag + 2, 0.0);
    for (int lag = MinLag - 1; lag <= MaxLag + 1; ++lag) {
        double xy = 0, xx = 0, yy = 0;
        for (std::size_t n = 0; n + lag < FrameLength; ++n) {
            xy += x[n] * x[n + lag];
            xx += x[n] * x[n];
            yy += x[n + lag] * x[n + lag];
        }
        r[lag] = (xx > 0 && yy > 0) ? xy / std::sqrt(xx * yy) : 0.0;
    }
    double best = 0;
    for (int lag = MinLag; lag <= MaxLag; ++lag)
        best = std::max(best, r[lag]);
    if (best < VoicedCorrelation)
        return 0;
    for (int lag = MinLag; lag <= MaxLag; ++lag) {
        if (r[lag] >= 0.85 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
            // Parabolic interpolation around the peak for a sub-sample period.
            const double a = r[lag - 1], b = r[lag], c = r[lag + 1];
            const double denominator = a - 2 * b + c;
            const double shift = denominator != 0 ? 0.5 * (a - c) / denominator : 0.0;
            return lag + std::clamp(shift, -0.5, 0.5);
        }
    }
    return 0;
}

} // namespace

double medianF0(std::span<const int16_t> samples)
{
    std::vector<double> f0s;
    std::vector<double> frame(FrameLength);
    for (std::size_t start = 0; start + FrameLength <= samples.size(); start += FrameHop) {
        double mean = 0;
        for (std::size_t i = 0; i < FrameLength; ++i)
            mean += samples[start + i];
        mean /= FrameLength;
        for (std::size_t i = 0; i < FrameLength; ++i)
            frame[i] = samples[start + i] - mean;
        if (rms(samples.subspan(start, FrameLength)) < VoicedRms)
            continue;
        const double period = framePeriod(frame.data());
        if (period > 0)
            f0s.push_back(SampleRate / period);
    }
    if (f0s.empty())
        return 0.0;
    auto middle = f0s.begin() + std::ptrdiff_t(f0s.size() / 2);
    std::nth_element(f0s.begin(), middle, f0s.end());
    return *middle;
}

} // namespace audio
