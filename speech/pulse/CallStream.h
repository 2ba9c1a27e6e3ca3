// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CallMicrophone.h"
#include "PlaybackStream.h"
#include "SoundServer.h"

#include <QByteArray>

#include <pulse/pulseaudio.h>

#include <cstddef>
#include <variant>

// The stream that carries a text into calls: it plays into the "Vocalo" microphone's sink, beside
// the speakers' stream and written with it, so a call hears the line at the same time. It lives
// and dies with the speakers' stream it goes beside (soundroute::OnStream).
//
// Made, used and destroyed on the sound server's loop thread or under its lock.
class CallStream
{
public:
    // What a speech instance heard in calls keeps from one stream to the next.
    struct Line
    {
        SoundServer &server;
        CallMicrophone &microphone;
        QByteArray name;
        // The server refused the stream and that was said; it is heard on the next that opens.
        bool refused = false;
    };

    // Not heard in calls: no stream ever opens.
    CallStream() = default;
    explicit CallStream(Line *line) : m_line(line) { }

    // Whether the stream is as ready as it will get for this text: a text waits while the
    // microphone loads or the stream connects, so a call hears it from its first sample. Opens
    // the stream once the microphone is there, corked where `corked`; `stateChanged` hears of its
    // states with `owner`.
    bool settled(bool corked, pa_stream_notify_cb_t stateChanged, void *owner);
    // The stream, or null where none is open.
    pa_stream *get() const;
    // The stream became ready: a refusal said before is forgotten.
    void ready();
    // The server failed the stream, which is said unless it went with its server or was ended:
    // the rest of the text is heard on the speakers only, and the next text tries again.
    void failed();
    // As failed(), where the caller has said why.
    void abandon();
    void forgetFailure();
    // Written beside the speakers' stream, where the stream is ready; false where the server's
    // library refused the samples.
    bool write(const void *samples, std::size_t bytes);

private:
    // Not opened yet, or not heard in calls.
    struct None
    { };
    struct Failed
    { };

    void open(bool corked, pa_stream_notify_cb_t stateChanged, void *owner);

    Line *m_line = nullptr;
    std::variant<None, playback::Stream, Failed> m_state;
};
