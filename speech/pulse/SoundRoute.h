// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CallStream.h"
#include "PlaybackStream.h"
#include "SilentClock.h"
#include "SoundServer.h"

#include <pulse/pulseaudio.h>

#include <array>
#include <variant>

// Where one speech instance's samples go, as one value. Each state owns the server's handles
// that belong to it and frees them as it is left, so a silent clock beside a stream, a cork
// without a stream or a call's stream without the speakers' cannot be written.
//
// Made, changed and destroyed on the sound server's loop thread or under its lock only.
namespace soundroute {

// Nothing to play, or the server is being connected.
struct Waiting
{
    // The stream failed during this text: the rest of it plays into nothing, and the next text
    // tries a stream again.
    bool streamFailed = false;
};

struct OnStream
{
    playback::Stream stream;
    CallStream call;
    // After an idle second, so the sound device may suspend; the next line only uncorks.
    bool corked = false;
    // Ran out of samples: if more of the same text follows, the synthesis fell behind.
    bool drained = false;
    // Armed while nothing waits to be written; it corks.
    Timer idleTimer {};
    // Corks and flushes of either stream the server has not answered yet.
    playback::Operations pending {};

    // The call's is null where there is none.
    std::array<pa_stream *, 2> streams() const { return { stream.get(), call.get() }; }
};

// No server, or the stream failed: the samples go at the rate they would have sounded, so a
// text takes as long as it would have taken to hear.
struct IntoNothing
{
    bool streamFailed = false;
    SilentClock clock;
};

using Route = std::variant<Waiting, OnStream, IntoNothing>;

} // namespace soundroute
