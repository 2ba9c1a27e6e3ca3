// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlaybackStream.h"

#include <cstdint>
#include <cstdio>

namespace playback {

namespace {

// The server asks for more in steps of this much.
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

uint32_t bytesFor(pa_usec_t usec)
{
    return static_cast<uint32_t>(pa_usec_to_bytes(usec, &Samples));
}

} // namespace

void Operations::Cancel::operator()(pa_operation *operation) const
{
    if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
        pa_operation_cancel(operation);
    pa_operation_unref(operation);
}

bool Operations::keep(pa_operation *operation)
{
    std::erase_if(m_running, [](const auto &kept) {
        return pa_operation_get_state(kept.get()) != PA_OPERATION_RUNNING;
    });
    if (!operation)
        return false;
    m_running.emplace_back(operation);
    return true;
}

bool ready(pa_stream *stream)
{
    return stream && pa_stream_get_state(stream) == PA_STREAM_READY;
}

// Never on the call's sink: the microphone is a loopback on it, and a call gains nothing from a
// few milliseconds.
pa_stream *newStream(pa_context *context, const QByteArray &name, bool quickStart)
{
    pa_proplist *properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_MEDIA_NAME, name.constData());
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "org.vocalo.Vocalo");
    if (quickStart)
        pa_proplist_sets(properties, "node.force-quantum", PipeWireQuantum);
    pa_stream *stream
        = pa_stream_new_with_proplist(context, name.constData(), &Samples, nullptr, properties);
    pa_proplist_free(properties);
    return stream;
}

pa_buffer_attr bufferAttributes()
{
    pa_buffer_attr attributes;
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.tlength = bytesFor(TargetLatency);
    attributes.prebuf = bytesFor(Prebuffer);
    attributes.minreq = bytesFor(MinRequest);
    attributes.fragsize = static_cast<uint32_t>(-1);
    return attributes;
}

void refusedByServer(pa_context *context, bool &refused, const QByteArray &name)
{
    if (!context || pa_context_get_state(context) != PA_CONTEXT_READY
        || pa_context_errno(context) == PA_ERR_KILLED)
        return;
    if (!refused)
        std::fprintf(stderr, "vocalo: the sound server refused the stream \"%s\" (%s)\n",
            name.constData(), pa_strerror(pa_context_errno(context)));
    refused = true;
}

void failedOnce(pa_context *context, bool &said, const char *what, const QByteArray &name)
{
    if (said)
        return;
    said = true;
    std::fprintf(stderr, "vocalo: %s failed on the stream \"%s\" (%s)\n", what, name.constData(),
        pa_strerror(context ? pa_context_errno(context) : PA_ERR_CONNECTIONTERMINATED));
}

} // namespace playback
