// SPDX-License-Identifier: GPL-3.0-or-later
// The instance's stream on the speakers: opened, written, corked after an idle spell, flushed at a
// stop, and what the server answers about it.
#include "PlaybackStream.h"
#include "SampleQueue.h"
#include "SoundServerOutput.h"

#include <cstdio>
#include <cstdlib>

using namespace soundroute;
using playback::ready;

namespace {

constexpr std::size_t BytesPerSample = sizeof(int16_t);
// After the last sample the stream idles this long, then corks: an idle program holds no running
// stream, so the sound device may suspend, and the next line only uncorks it.
constexpr pa_usec_t IdleBeforeCork = 1000 * playback::Millisecond;

} // namespace

void SoundServerOutput::flush()
{
    SoundServer::Lock lock(m_server);
    stopPlayingIntoNothing();
    auto *route = std::get_if<OnStream>(&m_route);
    if (!route)
        return;
    if (ready(route->stream.get())) {
        for (pa_stream *stream : route->streams())
            if (ready(stream))
                ask(*route, stream, pa_stream_flush(stream, flushed, this), m_flushFailed);
        armIdleTimer(*route);
    }
    route->drained = false;
}

void SoundServerOutput::playOnStream()
{
    auto *route = std::get_if<OnStream>(&m_route);
    if (!route) {
        openStream();
        return; // written to once it is ready
    }
    route->idleTimer.reset();
    if (!ready(route->stream.get())
        || !route->call.settled(route->corked, streamStateChanged, this))
        return;
    if (route->corked) {
        route->corked = false;
        for (pa_stream *stream : route->streams())
            if (stream)
                ask(*route, stream, pa_stream_cork(stream, 0, uncorked, this), m_uncorkFailed);
    }
    writeToStream(*route);
}

void SoundServerOutput::openStream()
{
    playback::Stream stream(playback::newStream(m_server.context(), m_name, true));
    if (!stream) {
        playback::refusedByServer(m_server.context(), m_refused, m_name);
        updateHeard();
        m_route = Waiting { .streamFailed = true };
        playIntoNothing();
        return;
    }
    pa_stream *opened = stream.get();
    pa_stream_set_state_callback(opened, streamStateChanged, this);
    pa_stream_set_write_callback(opened, streamWantsData, this);
    pa_stream_set_underflow_callback(opened, streamRanDry, this);
    m_route = OnStream {
        .stream = std::move(stream),
        .call = CallStream(m_callLine ? &*m_callLine : nullptr),
    };
    const pa_buffer_attr attributes = playback::bufferAttributes();
    // No device named: the server routes the stream, PULSE_SINK and the user's choices
    // included. A PULSE_SINK naming no sink is asked for again without it.
    const char *device = m_useDefaultSink ? "@DEFAULT_SINK@" : nullptr;
    if (pa_stream_connect_playback(
            opened, device, &attributes, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr)
        < 0)
        streamFailed();
}

void SoundServerOutput::streamFailed()
{
    pa_context *context = m_server.context();
    const bool noSuchSink = pa_context_errno(context) == PA_ERR_NOENTITY;
    const bool tryDefaultSink = noSuchSink && !m_useDefaultSink && std::getenv("PULSE_SINK");
    if (tryDefaultSink) {
        m_useDefaultSink = true;
        std::fprintf(stderr, "vocalo: PULSE_SINK names no sink (%s); \"%s\" plays on the default\n",
            pa_strerror(pa_context_errno(context)), m_name.constData());
    } else {
        // One that a connected server refused will not be heard until a stream opens again.
        playback::refusedByServer(context, m_refused, m_name);
    }
    updateHeard();
    m_route = Waiting { .streamFailed = !tryDefaultSink };
    service();
}

// The server took the stream but will not play it: the rest of the text plays into nothing,
// as after a failed stream, rather than waiting on it for good.
void SoundServerOutput::abandonStream()
{
    m_route = Waiting { .streamFailed = true };
    service();
}

void SoundServerOutput::writeToStream(OnStream &route)
{
    pa_stream *stream = route.stream.get();
    std::size_t room = pa_stream_writable_size(stream);
    if (room == static_cast<std::size_t>(-1))
        return;
    while (room >= BytesPerSample) {
        void *buffer = nullptr;
        std::size_t bytes = room;
        if (pa_stream_begin_write(stream, &buffer, &bytes) < 0 || !buffer) {
            say(m_writeFailed, m_name);
            abandonStream();
            return;
        }
        bool intoCalls = false;
        const std::size_t n
            = takeSamples(static_cast<int16_t *>(buffer), bytes / BytesPerSample, &intoCalls);
        if (n == 0) {
            pa_stream_cancel_write(stream);
            break;
        }
        // Copied by the server's library before the buffer goes to the first stream.
        if (intoCalls && !route.call.write(buffer, n * BytesPerSample)) {
            say(m_writeFailed, m_callLine->name);
            route.call.abandon();
        }
        if (pa_stream_write(stream, buffer, n * BytesPerSample, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
            say(m_writeFailed, m_name);
            pa_stream_cancel_write(stream);
            abandonStream();
            return;
        }
        room -= n * BytesPerSample;
    }
    // What was written plays within the target latency; a second after that, cork.
    if (m_queue.size() == 0)
        armIdleTimer(route);
}

// A stream calls back only while its route holds it (a closed one is silenced first), so
// one that finds no route of its own was let go meanwhile and is passed over.
void SoundServerOutput::streamStateChanged(pa_stream *stream, void *self)
{
    auto *output = static_cast<SoundServerOutput *>(self);
    auto *route = std::get_if<OnStream>(&output->m_route);
    const bool speakers = route && stream == route->stream.get();
    if (!speakers && !(route && stream == route->call.get()))
        return;
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        if (speakers) {
            output->m_refused = false;
            output->updateHeard();
        } else {
            route->call.ready();
        }
        output->service();
        break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        if (speakers) {
            output->streamFailed();
        } else {
            route->call.failed();
            output->service();
        }
        break;
    default:
        break;
    }
}

void SoundServerOutput::streamWantsData(pa_stream *, std::size_t, void *self)
{
    auto *output = static_cast<SoundServerOutput *>(self);
    auto *route = std::get_if<OnStream>(&output->m_route);
    // A fresh stream asks for samples at once; the call's stream may still be connecting.
    if (route && !route->corked && route->call.settled(route->corked, streamStateChanged, output))
        output->writeToStream(*route);
}

void SoundServerOutput::streamRanDry(pa_stream *, void *self)
{
    if (auto *route = std::get_if<OnStream>(&static_cast<SoundServerOutput *>(self)->m_route))
        route->drained = true;
}

void SoundServerOutput::armIdleTimer(OnStream &route)
{
    const pa_usec_t idle = playback::TargetLatency + IdleBeforeCork;
    if (route.idleTimer)
        restartTimer(m_server.api(), route.idleTimer.get(), idle);
    else
        route.idleTimer = makeTimer(m_server.api(), idle, idleTimedOut, this);
}

void SoundServerOutput::idleTimedOut(
    pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self)
{
    auto *output = static_cast<SoundServerOutput *>(self);
    // The timer goes with its route.
    auto *route = std::get_if<OnStream>(&output->m_route);
    if (!route)
        return;
    route->idleTimer.reset();
    if (route->corked || output->m_queue.size() > 0)
        return;
    route->corked = true;
    route->drained = false;
    for (pa_stream *stream : route->streams())
        if (ready(stream))
            output->ask(
                *route, stream, pa_stream_cork(stream, 1, corked, output), output->m_corkFailed);
}

void SoundServerOutput::ask(
    OnStream &route, pa_stream *stream, pa_operation *operation, Failure &failure)
{
    if (!route.pending.keep(operation))
        say(failure, nameOf(route, stream));
}

// A closed route's questions were cancelled with it, but a call's stream closed within the route
// is answered about until the server has closed it: only the route's own streams count.
OnStream *SoundServerOutput::answered(pa_stream *stream, int success, Failure &failure)
{
    auto *route = std::get_if<OnStream>(&m_route);
    if (success || !route || (stream != route->stream.get() && stream != route->call.get()))
        return nullptr;
    say(failure, nameOf(*route, stream));
    return route;
}

// Nothing more to do: what was left plays out.
void SoundServerOutput::flushed(pa_stream *stream, int success, void *self)
{
    auto *output = static_cast<SoundServerOutput *>(self);
    output->answered(stream, success, output->m_flushFailed);
}

// Nothing more to do: the sound device stays awake, and the next line uncorks as it would.
void SoundServerOutput::corked(pa_stream *stream, int success, void *self)
{
    auto *output = static_cast<SoundServerOutput *>(self);
    output->answered(stream, success, output->m_corkFailed);
}

// A stream left corked would hold its text for good: the speakers' gives the rest of the text
// up to nothing, the call's to the speakers alone.
void SoundServerOutput::uncorked(pa_stream *stream, int success, void *self)
{
    auto *output = static_cast<SoundServerOutput *>(self);
    OnStream *route = output->answered(stream, success, output->m_uncorkFailed);
    if (!route || route->corked)
        return;
    if (stream == route->stream.get()) {
        output->abandonStream();
    } else {
        route->call.abandon();
        output->service();
    }
}

void SoundServerOutput::say(Failure &failure, const QByteArray &name)
{
    playback::failedOnce(m_server.context(), failure.said, failure.what, name);
}

const QByteArray &SoundServerOutput::nameOf(const OnStream &route, pa_stream *stream) const
{
    return stream == route.call.get() && m_callLine ? m_callLine->name : m_name;
}
