// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioOutput.h"
#include "CallMicrophone.h"
#include "FliteVoice.h"
#include "LoopWakeup.h"
#include "SampleQueue.h"
#include "SoundRoute.h"
#include "SoundServer.h"

#include <pulse/rtclock.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

using namespace soundroute;

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
// PipeWire runs the graph of each sink in steps of one quantum, and a written sample waits for the
// next step; its PulseAudio service makes every stream's step at least 256 frames at 48 kHz and
// ignores the latency a stream asks for. Forcing 128 frames saves a line's first sound about 3 ms
// on a warm stream, and only while the stream is uncorked: an idle Vocalo leaves the step as it
// was. Not smaller: at 64 frames the first long lines after a quiet spell skipped whole steps
// (gaps of up to 0.4 s in a line), and at 32 PipeWire 0.3.65's remapped sources (loopbacks, such
// as the call's microphone) on the same sink stop for good after a couple of lines. PulseAudio
// ignores the property. Forced, it is the step of every program on that sink while Vocalo's
// stream runs (a call's far end is woken twice as often); node.latency would only ask, but the
// PulseAudio service keeps the sink at 256 frames then, and a line back to back starts about
// 2.7 ms later.
constexpr const char *PipeWireQuantum = "128";
// After the last sample the stream idles this long, then corks: an idle program holds no running
// stream, so the sound device may suspend, and the next line only uncorks it.
constexpr pa_usec_t IdleBeforeCork = 1000 * Millisecond;
// Without a server a text plays into nothing at the rate it would have sounded, read in steps of
// this much; a little is taken ahead, as a real buffer would.
constexpr pa_usec_t SilentStep = 40 * Millisecond;
constexpr std::size_t SilentHeadroom = bytesFor(SilentStep) / BytesPerSample;

bool ready(pa_stream *stream)
{
    return stream && pa_stream_get_state(stream) == PA_STREAM_READY;
}

void dropOperation(pa_operation *operation)
{
    if (operation)
        pa_operation_unref(operation);
}

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
        m_wakeup.emplace(m_server.api(), woken, this);
        m_server.addClient(this);
        if (m_microphone)
            m_microphone->addListener(this, [this] { service(); });
        m_heard = m_server.state() != SoundServer::State::Failed;
    }

    ~SoundServerOutput() override
    {
        SoundServer::Lock lock(m_server);
        if (m_underruns > 0)
            std::fprintf(stderr, "vocalo: \"%s\" ran out of samples %zu times while speaking\n",
                m_name.constData(), m_underruns);
        m_server.removeClient(this);
        if (m_microphone)
            m_microphone->removeListener(this);
        m_wakeup.reset();
        // The route's handles belong to the loop: they go under its lock, not after it.
        m_route = Waiting {};
    }

    void samplesQueued() override
    {
        // Handled on the loop's thread, where every other decision about the stream is made.
        m_wakeup->wake();
    }

    void flush() override
    {
        SoundServer::Lock lock(m_server);
        stopPlayingIntoNothing();
        auto *route = std::get_if<OnStream>(&m_route);
        if (!route)
            return;
        if (ready(route->stream.get())) {
            for (pa_stream *stream : route->streams())
                if (ready(stream))
                    dropOperation(pa_stream_flush(stream, nullptr, nullptr));
            armIdleTimer(*route);
        }
        route->drained = false;
    }

    bool heard() const override { return m_heard; }

    void setHeardListener(std::function<void()> changed) override
    {
        SoundServer::Lock lock(m_server);
        m_heardChanged = std::move(changed);
    }

private:
    void soundServerChanged() override
    {
        // A stream on a context that went away failed with it.
        if (m_server.state() != SoundServer::State::Ready
            && std::holds_alternative<OnStream>(m_route))
            m_route = Waiting {};
        // A server that is back, or another one, may well take the stream it refused.
        if (m_server.state() == SoundServer::State::Ready && m_server.context() != m_context) {
            m_context = m_server.context();
            m_refused = m_callRefused = false;
        }
        updateHeard();
        service();
    }

    // While the server is being connected (as it is asked again every few seconds when it was
    // missing) the last answer stands.
    void updateHeard()
    {
        bool heard = m_heard;
        if (m_server.state() == SoundServer::State::Ready)
            heard = !m_refused;
        else if (m_server.state() == SoundServer::State::Failed)
            heard = false;
        if (m_heard.exchange(heard) != heard && m_heardChanged)
            m_heardChanged();
    }

    static void woken(void *self)
    {
        auto *output = static_cast<SoundServerOutput *>(self);
        if (auto *route = std::get_if<OnStream>(&output->m_route)) {
            if (route->drained && !output->m_queue.nextStartsText())
                ++output->m_underruns;
            route->drained = false;
        }
        output->service();
    }

    // Decides where the waiting samples go: the stream, nowhere in real time, or nowhere yet
    // (connecting). Each text may ask for a server that is not there once.
    void service()
    {
        if (m_queue.size() == 0) {
            if (auto *route = std::get_if<OnStream>(&m_route);
                route && !route->corked && !route->idleTimer)
                armIdleTimer(*route);
            return;
        }
        if (m_queue.nextStartsText() && !m_askedForThisText) {
            m_askedForThisText = true;
            forgetFailures();
            m_server.connect();
        }
        switch (m_server.state()) {
        case SoundServer::State::Connecting:
            stopPlayingIntoNothing();
            return;
        case SoundServer::State::Ready:
            if (!streamFailedThisText()) {
                stopPlayingIntoNothing();
                playOnStream();
                return;
            }
            break;
        case SoundServer::State::Unconnected:
        case SoundServer::State::Failed:
            break;
        }
        playIntoNothing();
    }

    bool streamFailedThisText() const
    {
        if (const auto *route = std::get_if<Waiting>(&m_route))
            return route->streamFailed;
        if (const auto *route = std::get_if<IntoNothing>(&m_route))
            return route->streamFailed;
        return false;
    }

    void forgetFailures()
    {
        if (auto *route = std::get_if<OnStream>(&m_route)) {
            if (std::holds_alternative<CallStreamFailed>(route->call))
                route->call = NoCallStream {};
        } else if (auto *route = std::get_if<Waiting>(&m_route)) {
            route->streamFailed = false;
        } else {
            std::get<IntoNothing>(m_route).streamFailed = false;
        }
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
        auto *route = std::get_if<OnStream>(&m_route);
        if (!route) {
            openStream();
            return; // written to once it is ready
        }
        route->idleTimer.reset();
        if (!ready(route->stream.get()) || !callStreamSettled(*route))
            return;
        if (route->corked) {
            route->corked = false;
            for (pa_stream *stream : route->streams())
                if (stream)
                    dropOperation(pa_stream_cork(stream, 0, nullptr, nullptr));
        }
        writeToStream(*route);
    }

    // --- the stream into calls, beside the first and written with it ---

    // Whether the call stream is as ready as it will get for this text: a text waits while the
    // microphone loads or the stream connects, so a call hears it from its first sample.
    bool callStreamSettled(OnStream &route)
    {
        if (!m_microphone || std::holds_alternative<CallStreamFailed>(route.call))
            return true;
        switch (m_microphone->state()) {
        case CallMicrophone::State::Loading:
            return false;
        case CallMicrophone::State::Absent:
            route.call = NoCallStream {};
            return true;
        case CallMicrophone::State::Ready:
            break;
        }
        if (std::holds_alternative<NoCallStream>(route.call))
            route.call = openCallStream(route.corked);
        return !route.callStream() || ready(route.callStream());
    }

    CallStream openCallStream(bool corked)
    {
        Stream stream(newStream(m_callName, false));
        if (!stream) {
            refusedByServer(m_callRefused, m_callName);
            return CallStreamFailed {};
        }
        pa_stream_set_state_callback(stream.get(), streamStateChanged, this);
        const pa_buffer_attr attributes = bufferAttributes();
        // Never moved elsewhere by the user or the server: on the speakers it would be heard
        // twice, and a sink going away would take the stream's sound along.
        if (pa_stream_connect_playback(stream.get(), CallMicrophone::SinkName, &attributes,
                static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE
                    | (corked ? PA_STREAM_START_CORKED : 0)),
                nullptr, nullptr)
            < 0) {
            refusedByServer(m_callRefused, m_callName);
            return CallStreamFailed {};
        }
        return stream;
    }

    void callStreamFailed(OnStream &route)
    {
        refusedByServer(m_callRefused, m_callName);
        route.call = CallStreamFailed {};
        service();
    }

    // `quickStart` forces PipeWire's small step (PipeWireQuantum) on the stream's sink. Never on
    // the call's sink: the microphone is a loopback on it, and a call gains nothing from a few
    // milliseconds.
    pa_stream *newStream(const QByteArray &name, bool quickStart)
    {
        const pa_sample_spec spec { PA_SAMPLE_S16LE, flitevoice::SampleRate, 1 };
        pa_proplist *properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_MEDIA_NAME, name.constData());
        pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "org.vocalo.Vocalo");
        if (quickStart)
            pa_proplist_sets(properties, "node.force-quantum", PipeWireQuantum);
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
        Stream stream(newStream(m_name, true));
        if (!stream) {
            refusedByServer(m_refused, m_name);
            updateHeard();
            m_route = Waiting { .streamFailed = true };
            playIntoNothing();
            return;
        }
        pa_stream *opened = stream.get();
        pa_stream_set_state_callback(opened, streamStateChanged, this);
        pa_stream_set_write_callback(opened, streamWantsData, this);
        pa_stream_set_underflow_callback(opened, streamRanDry, this);
        m_route = OnStream { .stream = std::move(stream) };
        const pa_buffer_attr attributes = bufferAttributes();
        // No device named: the server routes the stream, PULSE_SINK and the user's choices
        // included. A PULSE_SINK naming no sink is asked for again without it.
        const char *device = m_useDefaultSink ? "@DEFAULT_SINK@" : nullptr;
        if (pa_stream_connect_playback(
                opened, device, &attributes, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr)
            < 0)
            streamFailed();
    }

    void streamFailed()
    {
        pa_context *context = m_server.context();
        const bool noSuchSink = pa_context_errno(context) == PA_ERR_NOENTITY;
        const bool tryDefaultSink = noSuchSink && !m_useDefaultSink && std::getenv("PULSE_SINK");
        if (tryDefaultSink) {
            m_useDefaultSink = true;
            std::fprintf(stderr,
                "vocalo: PULSE_SINK names no sink (%s); \"%s\" plays on the default\n",
                pa_strerror(pa_context_errno(context)), m_name.constData());
        } else {
            // One that a connected server refused will not be heard until a stream opens again.
            refusedByServer(m_refused, m_name);
        }
        updateHeard();
        m_route = Waiting { .streamFailed = !tryDefaultSink };
        service();
    }

    // A stream that goes with its server says nothing of the next server, and its loss was said
    // with the server's; one killed (its sink unloaded, as the call's is when the program ends,
    // or ended by the user) was not refused: the next opens as usual. One that a connected
    // server refused is said once with the server's reason, not again for each text that meets
    // the same refusal.
    void refusedByServer(bool &refused, const QByteArray &name)
    {
        pa_context *context = m_server.context();
        if (!context || pa_context_get_state(context) != PA_CONTEXT_READY
            || pa_context_errno(context) == PA_ERR_KILLED)
            return;
        if (!refused)
            std::fprintf(stderr, "vocalo: the sound server refused the stream \"%s\" (%s)\n",
                name.constData(), pa_strerror(pa_context_errno(context)));
        refused = true;
    }

    void writeToStream(OnStream &route)
    {
        pa_stream *stream = route.stream.get();
        std::size_t room = pa_stream_writable_size(stream);
        if (room == static_cast<std::size_t>(-1))
            return;
        while (room >= BytesPerSample) {
            void *buffer = nullptr;
            std::size_t bytes = room;
            if (pa_stream_begin_write(stream, &buffer, &bytes) < 0 || !buffer)
                return;
            bool intoCalls = false;
            const std::size_t n
                = takeSamples(static_cast<int16_t *>(buffer), bytes / BytesPerSample, &intoCalls);
            if (n == 0) {
                pa_stream_cancel_write(stream);
                break;
            }
            // Copied by the server's library before the buffer goes to the first stream.
            if (intoCalls && ready(route.callStream()))
                pa_stream_write(
                    route.callStream(), buffer, n * BytesPerSample, nullptr, 0, PA_SEEK_RELATIVE);
            pa_stream_write(stream, buffer, n * BytesPerSample, nullptr, 0, PA_SEEK_RELATIVE);
            room -= n * BytesPerSample;
        }
        // What was written plays within the target latency; a second after that, cork.
        if (m_queue.size() == 0)
            armIdleTimer(route);
    }

    static void streamStateChanged(pa_stream *stream, void *self)
    {
        auto *output = static_cast<SoundServerOutput *>(self);
        switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY:
            if (stream == std::get<OnStream>(output->m_route).stream.get()) {
                output->m_refused = false;
                output->updateHeard();
            } else {
                output->m_callRefused = false;
            }
            output->service();
            break;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED:
            if (auto &route = std::get<OnStream>(output->m_route); stream == route.callStream())
                output->callStreamFailed(route);
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
        auto &route = std::get<OnStream>(output->m_route);
        // A fresh stream asks for samples at once; the call's stream may still be connecting.
        if (!route.corked && output->callStreamSettled(route))
            output->writeToStream(route);
    }

    static void streamRanDry(pa_stream *, void *self)
    {
        std::get<OnStream>(static_cast<SoundServerOutput *>(self)->m_route).drained = true;
    }

    void armIdleTimer(OnStream &route)
    {
        if (route.idleTimer)
            restartTimer(m_server.api(), route.idleTimer.get(), TargetLatency + IdleBeforeCork);
        else
            route.idleTimer
                = makeTimer(m_server.api(), TargetLatency + IdleBeforeCork, idleTimedOut, this);
    }

    static void idleTimedOut(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self)
    {
        auto *output = static_cast<SoundServerOutput *>(self);
        auto &route = std::get<OnStream>(output->m_route);
        route.idleTimer.reset();
        if (route.corked || output->m_queue.size() > 0)
            return;
        route.corked = true;
        route.drained = false;
        for (pa_stream *stream : route.streams())
            if (ready(stream))
                dropOperation(pa_stream_cork(stream, 1, nullptr, nullptr));
    }

    // --- no server: real time into nothing ---

    void playIntoNothing()
    {
        if (std::holds_alternative<IntoNothing>(m_route))
            return;
        m_route = IntoNothing {
            .streamFailed = streamFailedThisText(),
            .clock = makeTimer(m_server.api(), 0, silentTick, this),
            .start = pa_rtclock_now(),
        };
    }

    void stopPlayingIntoNothing()
    {
        if (const auto *route = std::get_if<IntoNothing>(&m_route))
            m_route = Waiting { .streamFailed = route->streamFailed };
    }

    static void silentTick(
        pa_mainloop_api *api, pa_time_event *timer, const struct timeval *, void *self)
    {
        auto *output = static_cast<SoundServerOutput *>(self);
        auto &route = std::get<IntoNothing>(output->m_route);
        const pa_usec_t elapsed = pa_rtclock_now() - route.start;
        const auto played
            = static_cast<std::size_t>(elapsed * flitevoice::SampleRate / PA_USEC_PER_SEC);
        std::size_t allowed
            = played + SilentHeadroom - std::min(route.taken, played + SilentHeadroom);
        std::vector<int16_t> &scratch = output->m_scratch;
        while (allowed > 0 && output->m_queue.size() > 0) {
            // A new text asks for the server again; if it is coming, wait for it.
            if (output->m_queue.nextStartsText() && !output->m_askedForThisText) {
                output->stopPlayingIntoNothing();
                output->service();
                return;
            }
            scratch.resize(std::min<std::size_t>(allowed, 4096));
            const std::size_t n = output->takeSamples(scratch.data(), scratch.size());
            if (n == 0)
                break;
            route.taken += n;
            allowed -= n;
        }
        if (output->m_queue.size() == 0) {
            output->stopPlayingIntoNothing();
            return;
        }
        restartTimer(api, timer, SilentStep);
    }

    SampleQueue &m_queue;
    const QByteArray m_name;
    const QByteArray m_callName = m_name + " in calls";
    SoundServer &m_server;
    // Where the instance is heard in calls too; null where it is not.
    CallMicrophone *m_microphone;
    // Woken by the synthesis worker without the lock; made and freed under it.
    std::optional<LoopWakeup> m_wakeup;

    Route m_route;
    // Set from the text's first ask until its first sample is taken, so a text that finds no
    // server waits for one once and then plays into nothing.
    bool m_askedForThisText = false;
    // A PULSE_SINK that named no sink is not asked for again by this instance.
    bool m_useDefaultSink = false;
    std::size_t m_underruns = 0;
    std::vector<int16_t> m_scratch;

    // Read on any thread; the rest only on the loop's thread or under its lock.
    std::atomic<bool> m_heard { true };
    std::function<void()> m_heardChanged;
    bool m_refused = false;
    // The call's stream was refused and that was said; it is heard on the next that opens.
    bool m_callRefused = false;
    // The last connection seen ready: a new one forgets both refusals.
    pa_context *m_context = nullptr;
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
