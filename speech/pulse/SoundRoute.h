// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SoundServer.h"

#include <pulse/pulseaudio.h>

#include <array>
#include <cstddef>
#include <memory>
#include <variant>

// Where one speech instance's samples go, as one value. Each state owns the server's handles
// that belong to it and frees them as it is left, so a silent clock beside a stream, a cork
// without a stream or a call's stream without the speakers' cannot be written.
//
// Made, changed and destroyed on the sound server's loop thread or under its lock only.
namespace soundroute {

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

// Not heard in calls, no microphone, or not opened yet.
struct NoCallStream
{ };
// The rest of the text is heard on the speakers only; the next text tries again.
struct CallStreamFailed
{ };
using CallStream = std::variant<NoCallStream, Stream, CallStreamFailed>;

// Nothing to play, or the server is being connected.
struct Waiting
{
    // The stream failed during this text: the rest of it plays into nothing, and the next text
    // tries a stream again.
    bool streamFailed = false;
};

struct OnStream
{
    Stream stream;
    // Beside the speakers' stream and written with it, so a call hears the line at the same time.
    CallStream call {};
    // After an idle second, so the sound device may suspend; the next line only uncorks.
    bool corked = false;
    // Ran out of samples: if more of the same text follows, the synthesis fell behind.
    bool drained = false;
    // Armed while nothing waits to be written; it corks.
    Timer idleTimer {};

    pa_stream *callStream() const
    {
        const Stream *call = std::get_if<Stream>(&this->call);
        return call ? call->get() : nullptr;
    }
    // The call's is null where there is none.
    std::array<pa_stream *, 2> streams() const { return { stream.get(), callStream() }; }
};

// No server, or the stream failed: the samples go at the rate they would have sounded, so a
// text takes as long as it would have taken to hear.
struct IntoNothing
{
    bool streamFailed = false;
    Timer clock {};
    pa_usec_t start = 0;
    std::size_t taken = 0;
};

using Route = std::variant<Waiting, OnStream, IntoNothing>;

} // namespace soundroute
