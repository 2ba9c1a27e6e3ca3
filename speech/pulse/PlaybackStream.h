// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FliteVoice.h"

#include <QByteArray>

#include <pulse/pulseaudio.h>

#include <memory>
#include <vector>

// What a speech instance's streams share, the speakers' and the call's: how one is made, its
// buffer, and how the server's refusals and failures are said.
//
// Everything runs on the sound server's loop thread or under its lock.
namespace playback {

constexpr pa_usec_t Millisecond = 1000;

// The voice's samples as the server takes them.
constexpr pa_sample_spec Samples { PA_SAMPLE_S16LE, flitevoice::SampleRate, 1 };

// The whole way from our write to the speaker, the sink's own buffer included (the stream adjusts
// the sink's latency to it): short, so a line is heard at once and a stop silences at once, long
// enough that a busy machine does not starve it.
constexpr pa_usec_t TargetLatency = 25 * Millisecond;

// A stream goes quietly: a closing stream that called back would find its state gone.
struct StreamClose
{
    void operator()(pa_stream *stream) const
    {
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_set_write_callback(stream, nullptr, nullptr);
        pa_stream_set_underflow_callback(stream, nullptr, nullptr);
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
    }
};
using Stream = std::unique_ptr<pa_stream, StreamClose>;

// What the server still owes an answer about a route's streams (a cork, a flush). The answers
// call back into the route's owner, so they are cancelled with the route: none comes to an owner
// that is gone. A stream's closing cancels them only once the server has answered it.
class Operations
{
public:
    // Keeps `operation` until it is answered; false where it is null (the library refused it).
    bool keep(pa_operation *operation);

private:
    struct Cancel
    {
        void operator()(pa_operation *operation) const;
    };
    std::vector<std::unique_ptr<pa_operation, Cancel>> m_running;
};

bool ready(pa_stream *stream);

// A stream named `name` in the mixer, not yet connected; null when the server's library refuses.
// `quickStart` forces PipeWire's small step on the stream's sink.
pa_stream *newStream(pa_context *context, const QByteArray &name, bool quickStart);

// TargetLatency in all, asked for in small steps, and playback starting at once.
pa_buffer_attr bufferAttributes();

// Says once, with the server's reason, that it refused the stream `name`, and notes it in
// `refused`. A stream that goes with its server says nothing of the next server, and its loss was
// said with the server's; one killed (its sink unloaded, as the call's is when the program ends,
// or ended by the user) was not refused: neither is said nor noted.
void refusedByServer(pa_context *context, bool &refused, const QByteArray &name);

// Says once, where `said` is still false, that `what` failed on the stream `name`, with the
// server's reason: a failure that repeats with every write would otherwise fill the log.
void failedOnce(pa_context *context, bool &said, const char *what, const QByteArray &name);

} // namespace playback
