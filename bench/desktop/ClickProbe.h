// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

// What the bare sound probes share: a click that is loud from its first sample, and the trigger,
// one line on standard input per click, so the benchmark times them as it times espeak-ng.
namespace clickprobe {

// What a probe plays: with `--voice TEXT`, the voice's own samples of that text (16 kHz), so its
// first audible sample comes as softly as Vocalo's and a resampler's ringing flatters neither;
// without, a 20 ms square wave at 1 kHz, every sample of it loud.
std::vector<std::int16_t> sound(int argc, char **argv, unsigned rate);

// A 20 ms square wave at 1 kHz: every sample is far above the benchmark's threshold.
inline std::int16_t clickSample(std::size_t index, unsigned rate)
{
    const unsigned halfPeriod = rate / 2000;
    return (index / halfPeriod) % 2 ? -20000 : 20000;
}

inline std::size_t clickLength(unsigned rate)
{
    return rate / 50;
}

// With `--cork 1` (libpulse) or `--inactive 1` (PipeWire) a probe idles as Vocalo does: its stream
// runs on for this long after the sound has played, then stops, and the next click starts it.
constexpr unsigned IdleBeforeStopMs = 1000;

// `--name value` pairs; a flag that is not there gives `fallback`.
inline std::string option(int argc, char **argv, const char *name, const std::string &fallback)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return argv[i + 1];
    return fallback;
}

// Calls `click` at every newline on standard input, until it closes.
inline void clickOnEachLine(const std::function<void()> &click)
{
    char buffer[256];
    ssize_t n;
    while ((n = read(STDIN_FILENO, buffer, sizeof buffer)) > 0)
        for (ssize_t i = 0; i < n; ++i)
            if (buffer[i] == '\n')
                click();
}

} // namespace clickprobe
