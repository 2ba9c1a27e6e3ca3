// SPDX-License-Identifier: GPL-3.0-or-later
#include "CallStream.h"

bool CallStream::settled(bool corked, pa_stream_notify_cb_t stateChanged, void *owner)
{
    if (!m_line || std::holds_alternative<Failed>(m_state))
        return true;
    switch (m_line->microphone.state()) {
    case CallMicrophone::State::Loading:
        return false;
    case CallMicrophone::State::Absent:
        m_state = None {};
        return true;
    case CallMicrophone::State::Ready:
        break;
    }
    if (std::holds_alternative<None>(m_state))
        open(corked, stateChanged, owner);
    return !get() || playback::ready(get());
}

void CallStream::open(bool corked, pa_stream_notify_cb_t stateChanged, void *owner)
{
    pa_context *context = m_line->server.context();
    playback::Stream stream(playback::newStream(context, m_line->name, false));
    if (!stream) {
        failed();
        return;
    }
    pa_stream_set_state_callback(stream.get(), stateChanged, owner);
    const pa_buffer_attr attributes = playback::bufferAttributes();
    // Never moved elsewhere by the user or the server: on the speakers it would be heard twice,
    // and a sink going away would take the stream's sound along.
    if (pa_stream_connect_playback(stream.get(), CallMicrophone::SinkName, &attributes,
            static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE
                | (corked ? PA_STREAM_START_CORKED : 0)),
            nullptr, nullptr)
        < 0) {
        failed();
        return;
    }
    m_state = std::move(stream);
}

pa_stream *CallStream::get() const
{
    const auto *stream = std::get_if<playback::Stream>(&m_state);
    return stream ? stream->get() : nullptr;
}

void CallStream::ready()
{
    m_line->refused = false;
}

void CallStream::failed()
{
    playback::refusedByServer(m_line->server.context(), m_line->refused, m_line->name);
    abandon();
}

void CallStream::abandon()
{
    m_state = Failed {};
}

void CallStream::forgetFailure()
{
    if (std::holds_alternative<Failed>(m_state))
        m_state = None {};
}

bool CallStream::write(const void *samples, std::size_t bytes)
{
    pa_stream *stream = get();
    return !playback::ready(stream)
        || pa_stream_write(stream, samples, bytes, nullptr, 0, PA_SEEK_RELATIVE) == 0;
}
