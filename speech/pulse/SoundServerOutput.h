// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AudioOutput.h"
#include "CallStream.h"
#include "LoopWakeup.h"
#include "SilentClock.h"
#include "SoundRoute.h"
#include "SoundServer.h"

#include <QByteArray>

#include <pulse/pulseaudio.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class CallMicrophone;
class SampleQueue;

// One speech instance's output on the desktop's sound server (see soundServerOutput()). Where the
// samples go is one soundroute::Route: a stream on the speakers, opened at a text and corked after
// an idle second, with the stream into calls beside it; the silent clock where no server plays
// them; or nowhere yet. SoundServerOutput.cpp decides between them, SpeakerStream.cpp keeps the
// stream on the speakers.
//
// Called from other threads, flush() and setHeardListener() take the loop's lock, samplesQueued()
// only wakes the loop and heard() reads an atomic; the rest runs on the loop's thread or under
// its lock.
class SoundServerOutput final : public AudioOutput, private SoundServer::Client
{
public:
    // Heard in calls where `microphone` is set.
    SoundServerOutput(SampleQueue &queue, QByteArray streamName, CallMicrophone *microphone);
    ~SoundServerOutput() override;

    void samplesQueued() override;
    void flush() override;
    bool heard() const override { return m_heard; }
    void setHeardListener(std::function<void()> changed) override;

private:
    // Each kind is said once for the instance: one that comes back with every text would fill
    // the log.
    struct Failure
    {
        const char *what;
        bool said = false;
    };

    // Where the samples go.
    void soundServerChanged() override;
    void updateHeard();
    static void woken(void *self);
    void service();
    bool streamFailedThisText() const;
    void forgetFailures();
    std::size_t takeSamples(int16_t *out, std::size_t max, bool *intoCalls = nullptr);
    void playIntoNothing();
    void stopPlayingIntoNothing();
    static void silentTick(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self);
    void playSilently(SilentClock &clock);

    // The stream on the speakers.
    void playOnStream();
    void openStream();
    void streamFailed();
    void abandonStream();
    void writeToStream(soundroute::OnStream &route);
    static void streamStateChanged(pa_stream *stream, void *self);
    static void streamWantsData(pa_stream *, std::size_t, void *self);
    static void streamRanDry(pa_stream *, void *self);
    void armIdleTimer(soundroute::OnStream &route);
    static void idleTimedOut(
        pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self);
    void ask(
        soundroute::OnStream &route, pa_stream *stream, pa_operation *operation, Failure &failure);
    soundroute::OnStream *answered(pa_stream *stream, int success, Failure &failure);
    static void flushed(pa_stream *stream, int success, void *self);
    static void corked(pa_stream *stream, int success, void *self);
    static void uncorked(pa_stream *stream, int success, void *self);
    void say(Failure &failure, const QByteArray &name);
    const QByteArray &nameOf(const soundroute::OnStream &route, pa_stream *stream) const;

    SampleQueue &m_queue;
    const QByteArray m_name;
    SoundServer &m_server;
    // Where the instance is heard in calls too; empty where it is not.
    std::optional<CallStream::Line> m_callLine;
    // Woken by the synthesis worker without the lock; made and freed under it.
    std::optional<LoopWakeup> m_wakeup;

    soundroute::Route m_route;
    // Set from the text's first ask until its first sample is taken, so a text that finds no
    // server waits for one once and then plays into nothing.
    bool m_askedForThisText = false;
    // A PULSE_SINK that named no sink is not asked for again by this instance.
    bool m_useDefaultSink = false;
    std::size_t m_underruns = 0;
    std::vector<int16_t> m_scratch;
    Failure m_writeFailed { "writing" };
    Failure m_flushFailed { "stopping" };
    Failure m_corkFailed { "pausing" };
    Failure m_uncorkFailed { "resuming" };

    // Read on any thread; the rest only on the loop's thread or under its lock.
    std::atomic<bool> m_heard { true };
    std::function<void()> m_heardChanged;
    bool m_refused = false;
    // The last connection seen ready: a new one forgets the refusals.
    pa_context *m_context = nullptr;
};
