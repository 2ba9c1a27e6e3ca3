// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AudioAnalysis.h"
#include "SoundOnset.h"

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

// Listens to a sink's monitor through the sound server's client library, in fragments of a
// couple of milliseconds, and asks the server which playback streams a process holds. Started
// helper programs (parec, pactl) would add their own start-up to every figure.
class MonitorListener
{
public:
    using Clock = SoundOnset::Clock;
    static constexpr int SampleRate = audio::SampleRate;

    explicit MonitorListener(int threshold = audio::AudibleThreshold);
    ~MonitorListener();
    MonitorListener(const MonitorListener &) = delete;
    MonitorListener &operator=(const MonitorListener &) = delete;

    // Starts recording `source`; false with `error` set when the server or source is not there.
    bool start(const std::string &source, std::string &error);

    // The first audible sample played after `from`, in milliseconds after it.
    std::optional<double> onsetAfter(Clock::time_point from, std::chrono::milliseconds timeout);
    // Until nothing audible has been played for `quiet` (counting from now when nothing has been
    // heard yet); false on time-out.
    bool waitForSilence(std::chrono::milliseconds quiet, std::chrono::milliseconds timeout);
    // Until anything audible has been played after `from`.
    bool waitForSound(Clock::time_point from, std::chrono::milliseconds timeout);
    std::optional<Clock::time_point> lastAudible();
    // As the server names itself, e.g. "pulseaudio 16.1" or "PulseAudio (on PipeWire 0.3.65)".
    std::string serverName() const { return m_serverName; }

    struct Streams
    {
        int open = 0;
        int running = 0; // not corked
    };
    // The playback streams whose application.process.id is `pid`.
    Streams streamsOf(pid_t pid);

private:
    static void onContextState(pa_context *context, void *self);
    static void onStreamState(pa_stream *stream, void *self);
    static void onRead(pa_stream *stream, size_t bytes, void *self);

    pa_threaded_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    pa_stream *m_stream = nullptr;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    SoundOnset m_onset;
    std::string m_serverName;
};
