// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// Where one speech instance's samples go: 16 kHz mono signed 16-bit. An output is created, used
// and destroyed on its instance's audio thread, which has a running Qt event loop.
class AudioOutput
{
public:
    virtual ~AudioOutput() = default;

    // Opens the device; false when there is none (no sound server, for one).
    virtual bool open() = 0;
    // How many samples write() takes now without blocking.
    virtual std::size_t writableSamples() = 0;
    virtual void write(const int16_t *samples, std::size_t count) = 0;
    // True once an open device has gone away, e.g. the sound server died.
    virtual bool failed() const = 0;
};

// Makes the output an instance plays through; called on the audio thread, once at the first text
// and again for the next text after the output failed.
using AudioOutputFactory = std::function<std::unique_ptr<AudioOutput>()>;

// A QAudioSink on the desktop's default output device, in push mode.
std::unique_ptr<AudioOutput> makeDeviceAudioOutput();
// Takes samples at the real-time rate and drops them: what an instance speaks into when no
// device opens, so speech still takes as long as it would have sounded.
std::unique_ptr<AudioOutput> makeNullAudioOutput();
