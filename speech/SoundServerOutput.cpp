// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioOutput.h"
#include "CallMicrophone.h"
#include "FliteVoice.h"
#include "SampleQueue.h"
#include "SoundServer.h"

#include <pulse/rtclock.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr pa_usec_t Millisecond = 1000;
constexpr std::size_t BytesPerSample = sizeof(int16_t);
constexpr std::size_t bytesFor(pa_usec_t usec)
{
    return static_cast<std::size_t>(flitevoice::SampleRate * usec / PA_USEC_PER_SEC)
        * BytesPerSample;
}

// The whole way from our write to the speaker, the sink's own buffer included (the stream adjusts
// the sink's latency to it): short, so a line is heard at once and a stop silences at once, long
// enough that a busy machine does not starve it. The server asks for more in `MinRequest` steps.
constexpr pa_usec_t TargetLatency = 25 * Millisecond;
constexpr pa_usec_t MinRequest = 8 * Millisecond;
// Playback of a fresh or drained stream starts once this much waits: less than any text's first
// sound, so speech starts with it.
constexpr pa_usec_t Prebuffer = 2 * Millisecond;
// After the last sample the stream idles this long, then corks: an idle program holds no running
// stream, so the sound device may suspend, and the next line only uncorks it.
constexpr pa_usec_t IdleBeforeCork = 1000 * Millisecond;
// Without a server a text plays into nothing at the rate it would have sounded, read in steps of
// this much; a little is taken ahead, as a real buffer would.
constexpr pa_usec_t SilentStep = 40 * Millisecond;
constexpr std::size_t SilentHeadroom = bytesFor(SilentStep) / BytesPerSample;

class SoundServerOutput final : public AudioOutput, private SoundServer::Client
{
public:
    SoundServerOutput(SampleQueue &queue, QByteArray streamName, CallMicrophone *microphone)
        : m_queue(queue)
        , m_name(std::move(streamName))
        , m_server(SoundServer::instance())
        , m_microphone(microphone)
    {
        SoundServer::Lock lock(m_server);
        pa_mainloop_api *api = m_server.api();
        m_wake = api->defer_new(api, woken, this);
        api->defer_enable(m_wake, 0);
        m_server.addClient(this);
    }

    ~SoundServerOutput() override
    {
        SoundServer::Lock lock(m_server);
        if (m_underruns > 0)
            std::fprintf(stderr, "vocalo: \"%s\" ran out of samples %zu times while speaking\n",
                m_name.constData(), m_underruns);
        m_server.removeClient(this);
        pa_mainloop_api *api = m_server.api();
        api->defer_free(m_wake);
        stopSilentClock();
        stopIdleTimer();
        closeStream();
    }

    void samplesQueued() override
    {
        // Handled on the loop's thread, where every other decision about the stream is made.
        SoundServer::Lock lock(m_server);
        m_server.api()->defer_enable(m_wake, 1);
    }

    void flush() override
    {
        SoundServer::Lock lock(m_server);
        stopSilentClock();
        if (m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY) {
            for (pa_stream *stream : { m_stream, m_callStream })
                if (stream && pa_stream_get_state(stream) == PA_STREAM_READY)
                    if (pa_operation *op = pa_stream_flush(stream, nullptr, nullptr))
                        pa_operation_unref(op);
            armIdleTimer();
        }
        m_drained = false;
    }

private:
    void soundServerChanged() override
    {
        // A stream on a context that went away failed with it.
        if (m_server.state() != SoundServer::State::Ready)
            closeStream();
        service();
    }

    static void woken(pa_mainloop_api *api, pa_defer_event *event, void *self)
    {
        api->defer_enable(event, 0);
        auto *output = static_cast<SoundServerOutput *>(self);
        // More of a text after the stream ran dry mid-text: the synthesis fell behind.
        if (output->m_drained && !output->m_queue.nextStartsText())
            ++output->m_underruns;
        output->m_drained = false;
        output->service();
    }

    // Decides where the waiting samples go: the stream, nowhere in real time, or nowhere yet
    // (connecting). Each text may ask for a server that is not there once.
    void service()
    {
        if (m_queue.size() == 0) {
            if (m_stream && !m_corked && !m_idleTimer)
                armIdleTimer();
            return;
        }
        if (m_queue.nextStartsText() && !m_askedForThisText) {
            m_askedForThisText = true;
            m_streamBroken = false;
            m_callStreamBroken = false;
            m_server.connect();
        }
        switch (m_server.state()) {
        case SoundServer::State::Connecting:
            stopSilentClock();
            return;
        case SoundServer::State::Ready:
            if (!m_streamBroken) {
                stopSilentClock();
                playOnStream();
                return;
            }
            break;
        case SoundServer::State::Unconnected:
        case SoundServer::State::Failed:
            break;
        }
        startSilentClock();
    }

    std::size_t takeSamples(int16_t *out, std::size_t max, bool *intoCalls = nullptr)
    {
        bool beganText = false;
        const std::size_t taken = m_queue.take(out, max, &beganText, intoCalls);
        if (beganText)
            m_askedForThisText = false;
        return taken;
    }

    // --- the stream ---

    void playOnStream()
    {
        stopIdleTimer();
        if (!m_stream) {
            openStream();
            return; // written to once it is ready
        }
        if (pa_stream_get_state(m_stream) != PA_STREAM_READY || !callStreamSettled())
            return;
        if (m_corked) {
            m_corked = false;
            for (pa_stream *stream : { m_stream, m_callStream })
                if (stream)
                    if (pa_operation *op = pa_stream_cork(stream, 0, nullptr, nullptr))
                        pa_operation_unref(op);
        }
        writeToStream();
    }

    // --- the stream into calls, beside the first and written with it ---

    // Whether the call stream is as ready as it will get for this text: a text waits while the
    // microphone loads or the stream connects, so a call hears it from its first sample.
    bool callStreamSettled()
    {
        if (!m_microphone || m_callStreamBroken)
            return true;
        switch (m_microphone->state()) {
        case CallMicrophone::State::Loading:
            return false;
        case CallMicrophone::State::Absent:
            closeCallStream();
            return true;
        case CallMicrophone::State::Ready:
            break;
        }
        if (!m_callStream) {
            openCallStream();
            return !m_callStream;
        }
        return pa_stream_get_state(m_callStream) == PA_STREAM_READY;
    }

    void openCallStream()
    {
        const QByteArray name = m_name + " in calls";
        m_callStream = newStream(name);
        if (!m_callStream) {
            m_callStreamBroken = true;
            return;
        }
        pa_stream_set_state_callback(m_callStream, streamStateChanged, this);
        const pa_buffer_attr attributes = bufferAttributes();
        // Never moved elsewhere by the user or the server: on the speakers it would be heard
        // twice, and a sink going away would take the stream's sound along.
        if (pa_stream_connect_playback(m_callStream, CallMicrophone::SinkName, &attributes,
                static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE
                    | (m_corked ? PA_STREAM_START_CORKED : 0)),
                nullptr, nullptr)
            < 0) {
            closeCallStream();
            m_callStreamBroken = true;
        }
    }

    void closeCallStream()
    {
        if (!m_callStream)
            return;
        pa_stream_set_state_callback(m_callStream, nullptr, nullptr);
        pa_stream_disconnect(m_callStream);
        pa_stream_unref(m_callStream);
        m_callStream = nullptr;
    }

    void callStreamFailed()
    {
        closeCallStream();
        // The rest of this text is heard here only; the next one tries again.
        m_callStreamBroken = true;
        service();
    }

    pa_stream *newStream(const QByteArray &name)
    {
        const pa_sample_spec spec { PA_SAMPLE_S16LE, flitevoice::SampleRate, 1 };
        pa_proplist *properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_MEDIA_NAME, name.constData());
        pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "org.vocalo.Vocalo");
        pa_stream *stream = pa_stream_new_with_proplist(
            m_server.context(), name.constData(), &spec, nullptr, properties);
        pa_proplist_free(properties);
        return stream;
    }

    static pa_buffer_attr bufferAttributes()
    {
        pa_buffer_attr attributes;
        attributes.maxlength = static_cast<uint32_t>(-1);
        attributes.tlength = static_cast<uint32_t>(bytesFor(TargetLatency));
        attributes.prebuf = static_cast<uint32_t>(bytesFor(Prebuffer));
        attributes.minreq = static_cast<uint32_t>(bytesFor(MinRequest));
        attributes.fragsize = static_cast<uint32_t>(-1);
        return attributes;
    }

    void openStream()
    {
        m_stream = newStream(m_name);
        if (!m_stream) {
            m_streamBroken = true;
            startSilentClock();
            return;
        }
        pa_stream_set_state_callback(m_stream, streamStateChanged, this);
        pa_stream_set_write_callback(m_stream, streamWantsData, this);
        pa_stream_set_underflow_callback(m_stream, streamRanDry, this);
        const pa_buffer_attr attributes = bufferAttributes();
        m_corked = false;
        // No device named: the server routes the stream, PULSE_SINK and the user's choices
        // included. A PULSE_SINK naming no sink is asked for again without it.
        const char *device = m_useDefaultSink ? "@DEFAULT_SINK@" : nullptr;
        if (pa_stream_connect_playback(
                m_stream, device, &attributes, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr)
            < 0)
            streamFailed();
    }

    void closeStream()
    {
        closeCallStream();
        if (!m_stream)
            return;
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
        pa_stream_set_underflow_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
        m_stream = nullptr;
        m_corked = false;
        m_drained = false;
        stopIdleTimer();
    }

    void streamFailed()
    {
        const bool noSuchSink = pa_context_errno(m_server.context()) == PA_ERR_NOENTITY;
        closeStream();
        if (noSuchSink && !m_useDefaultSink && std::getenv("PULSE_SINK")) {
            m_useDefaultSink = true;
            service();
            return;
        }
        // The rest of this text plays into nothing; the next one tries a stream again.
        m_streamBroken = true;
        service();
    }

    void writeToStream()
    {
        std::size_t room = pa_stream_writable_size(m_stream);
        if (room == static_cast<std::size_t>(-1))
            return;
        while (room >= BytesPerSample) {
            void *buffer = nullptr;
            std::size_t bytes = room;
            if (pa_stream_begin_write(m_stream, &buffer, &bytes) < 0 || !buffer)
                return;
            bool intoCalls = false;
            const std::size_t n
                = takeSamples(static_cast<int16_t *>(buffer), bytes / BytesPerSample, &intoCalls);
            if (n == 0) {
                pa_stream_cancel_write(m_stream);
                break;
            }
            // Copied by the server's library before the buffer goes to the first stream.
            if (intoCalls && m_callStream && pa_stream_get_state(m_callStream) == PA_STREAM_READY)
                pa_stream_write(
                    m_callStream, buffer, n * BytesPerSample, nullptr, 0, PA_SEEK_RELATIVE);
            pa_stream_write(m_stream, buffer, n * BytesPerSample, nullptr, 0, PA_SEEK_RELATIVE);
            room -= n * BytesPerSample;
        }
        // What was written plays within the target latency; a second after that, cork.
        if (m_queue.size() == 0)
            armIdleTimer();
    }

    static void streamStateChanged(pa_stream *stream, void *self)
    {
        auto *output = static_cast<SoundServerOutput *>(self);
        switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY:
            output->service();
            break;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED:
            if (stream == output->m_callStream)
                output->callStreamFailed();
            else
                output->streamFailed();
            break;
        default:
            break;
        }
    }

    static void streamWantsData(pa_stream *, std::size_t, void *self)
    {
        auto *output = static_cast<SoundServerOutput *>(self);
        // A fresh stream asks for samples at once; the call's stream may still be connecting.
        if (!output->m_corked && output->callStreamSettled())
            output->writeToStream();
    }

    static void streamRanDry(pa_stream *, void *self)
    {
        static_cast<SoundServerOutput *>(self)->m_drained = true;
    }

    void armIdleTimer()
    {
        pa_mainloop_api *api = m_server.api();
        if (m_idleTimer)
            restartTimer(api, m_idleTimer, TargetLatency + IdleBeforeCork);
        else
            m_idleTimer = newTimer(api, TargetLatency + IdleBeforeCork, idleTimedOut, this);
    }

    void stopIdleTimer()
    {
        if (!m_idleTimer)
            return;
        m_server.api()->time_free(m_idleTimer);
        m_idleTimer = nullptr;
    }

    static void idleTimedOut(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self)
    {
        auto *output = static_cast<SoundServerOutput *>(self);
        output->stopIdleTimer();
        if (!output->m_stream || output->m_corked || output->m_queue.size() > 0)
            return;
        output->m_corked = true;
        output->m_drained = false;
        for (pa_stream *stream : { output->m_stream, output->m_callStream })
            if (stream && pa_stream_get_state(stream) == PA_STREAM_READY)
                if (pa_operation *op = pa_stream_cork(stream, 1, nullptr, nullptr))
                    pa_operation_unref(op);
    }

    // --- no server: real time into nothing ---

    void startSilentClock()
    {
        if (m_silentClock)
            return;
        m_silentStart = pa_rtclock_now();
        m_silentTaken = 0;
        m_silentClock = newTimer(m_server.api(), 0, silentTick, this);
    }

    void stopSilentClock()
    {
        if (!m_silentClock)
            return;
        m_server.api()->time_free(m_silentClock);
        m_silentClock = nullptr;
    }

    static void silentTick(
        pa_mainloop_api *api, pa_time_event *timer, const struct timeval *, void *self)
    {
        auto *output = static_cast<SoundServerOutput *>(self);
        const pa_usec_t elapsed = pa_rtclock_now() - output->m_silentStart;
        const auto played
            = static_cast<std::size_t>(elapsed * flitevoice::SampleRate / PA_USEC_PER_SEC);
        std::size_t allowed
            = played + SilentHeadroom - std::min(output->m_silentTaken, played + SilentHeadroom);
        std::vector<int16_t> &scratch = output->m_scratch;
        while (allowed > 0 && output->m_queue.size() > 0) {
            // A new text asks for the server again; if it is coming, wait for it.
            if (output->m_queue.nextStartsText() && !output->m_askedForThisText) {
                output->stopSilentClock();
                output->service();
                return;
            }
            scratch.resize(std::min<std::size_t>(allowed, 4096));
            const std::size_t n = output->takeSamples(scratch.data(), scratch.size());
            if (n == 0)
                break;
            output->m_silentTaken += n;
            allowed -= n;
        }
        if (output->m_queue.size() == 0) {
            output->stopSilentClock();
            return;
        }
        restartTimer(api, timer, SilentStep);
    }

    SampleQueue &m_queue;
    const QByteArray m_name;
    SoundServer &m_server;
    // Where the instance is heard in calls too; null where it is not.
    CallMicrophone *m_microphone;
    pa_defer_event *m_wake = nullptr;

    pa_stream *m_stream = nullptr;
    bool m_corked = false;
    // The stream ran out of samples; if more of the same text follows, that was an underrun.
    bool m_drained = false;
    bool m_streamBroken = false;
    bool m_useDefaultSink = false;
    pa_stream *m_callStream = nullptr;
    bool m_callStreamBroken = false;
    bool m_askedForThisText = false;
    pa_time_event *m_idleTimer = nullptr;
    std::size_t m_underruns = 0;

    pa_time_event *m_silentClock = nullptr;
    pa_usec_t m_silentStart = 0;
    std::size_t m_silentTaken = 0;
    std::vector<int16_t> m_scratch;
};

} // namespace

AudioOutputFactory soundServerOutput(const QString &streamName, InCalls inCalls)
{
    return
        [name = streamName.toUtf8(), inCalls](SampleQueue &queue) -> std::unique_ptr<AudioOutput> {
            return std::make_unique<SoundServerOutput>(
                queue, name, inCalls == InCalls::Heard ? &CallMicrophone::instance() : nullptr);
        };
}

void addCallMicrophone()
{
    CallMicrophone::instance();
}

void removeCallMicrophone()
{
    // Nothing to remove where no window was ever heard in calls.
    if (CallMicrophone *microphone = CallMicrophone::existing())
        microphone->remove();
}
