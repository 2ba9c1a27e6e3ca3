// SPDX-License-Identifier: GPL-3.0-or-later
#include "MonitorListener.h"

#include <pulse/pulseaudio.h>

#include <vector>

namespace {

// 32 samples: the server delivers the monitor every 2 ms, so a sample's arrival is close to
// the moment it was played.
constexpr uint32_t FragmentBytes = 32 * sizeof(int16_t);

} // namespace

MonitorListener::MonitorListener(int threshold) : m_onset(SampleRate, threshold) { }

MonitorListener::~MonitorListener()
{
    if (!m_loop)
        return;
    pa_threaded_mainloop_stop(m_loop);
    if (m_stream) {
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
    }
    if (m_context) {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
    pa_threaded_mainloop_free(m_loop);
}

void MonitorListener::onContextState(pa_context *, void *self)
{
    pa_threaded_mainloop_signal(static_cast<MonitorListener *>(self)->m_loop, 0);
}

void MonitorListener::onStreamState(pa_stream *, void *self)
{
    pa_threaded_mainloop_signal(static_cast<MonitorListener *>(self)->m_loop, 0);
}

void MonitorListener::onRead(pa_stream *stream, size_t, void *self)
{
    // Everything readable now arrived by now: date it before anything else.
    const Clock::time_point arrival = Clock::now();
    auto *listener = static_cast<MonitorListener *>(self);
    std::vector<int16_t> samples;
    while (pa_stream_readable_size(stream) > 0) {
        const void *data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0)
            break;
        const auto *first = static_cast<const int16_t *>(data);
        if (data)
            samples.insert(samples.end(), first, first + bytes / sizeof(int16_t));
        else // a hole in the recording: it still took its time
            samples.resize(samples.size() + bytes / sizeof(int16_t), 0);
        pa_stream_drop(stream);
    }
    std::lock_guard lock(listener->m_mutex);
    listener->m_onset.feed(samples, arrival);
    listener->m_changed.notify_all();
}

bool MonitorListener::start(const std::string &source, std::string &error)
{
    m_loop = pa_threaded_mainloop_new();
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "vocalo-desktop-bench");
    pa_context_set_state_callback(m_context, onContextState, this);
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        error = pa_strerror(pa_context_errno(m_context));
        return false;
    }
    pa_threaded_mainloop_lock(m_loop);
    pa_threaded_mainloop_start(m_loop);
    pa_context_state_t state;
    while (
        (state = pa_context_get_state(m_context)) != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(state))
        pa_threaded_mainloop_wait(m_loop);
    if (state != PA_CONTEXT_READY) {
        error = pa_strerror(pa_context_errno(m_context));
        pa_threaded_mainloop_unlock(m_loop);
        return false;
    }

    const auto onServer = [](pa_context *, const pa_server_info *info, void *self) {
        auto *listener = static_cast<MonitorListener *>(self);
        if (info)
            listener->m_serverName = std::string(info->server_name) + " " + info->server_version;
        pa_threaded_mainloop_signal(listener->m_loop, 0);
    };
    if (pa_operation *operation = pa_context_get_server_info(m_context, onServer, this)) {
        while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
            pa_threaded_mainloop_wait(m_loop);
        pa_operation_unref(operation);
    }

    const pa_sample_spec spec { PA_SAMPLE_S16LE, SampleRate, 1 };
    m_stream = pa_stream_new(m_context, "monitor", &spec, nullptr);
    pa_stream_set_state_callback(m_stream, onStreamState, this);
    pa_stream_set_read_callback(m_stream, onRead, this);
    pa_buffer_attr attributes {};
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.fragsize = FragmentBytes;
    pa_stream_connect_record(m_stream, source.c_str(), &attributes, PA_STREAM_ADJUST_LATENCY);
    pa_stream_state_t streamState;
    while ((streamState = pa_stream_get_state(m_stream)) != PA_STREAM_READY
        && PA_STREAM_IS_GOOD(streamState))
        pa_threaded_mainloop_wait(m_loop);
    if (streamState != PA_STREAM_READY)
        error = source + ": " + pa_strerror(pa_context_errno(m_context));
    pa_threaded_mainloop_unlock(m_loop);
    return streamState == PA_STREAM_READY;
}

std::optional<double> MonitorListener::onsetAfter(
    Clock::time_point from, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    m_onset.arm(from);
    if (!m_changed.wait_for(lock, timeout, [&] { return m_onset.onset().has_value(); }))
        return std::nullopt;
    return std::chrono::duration<double, std::milli>(*m_onset.onset() - from).count();
}

bool MonitorListener::waitForSilence(
    std::chrono::milliseconds quiet, std::chrono::milliseconds timeout)
{
    const Clock::time_point started = Clock::now();
    const Clock::time_point deadline = started + timeout;
    std::unique_lock lock(m_mutex);
    for (;;) {
        const Clock::time_point last = m_onset.lastAudible().value_or(started);
        const Clock::time_point quietAt = std::max(last, started) + quiet;
        if (Clock::now() >= quietAt)
            return true;
        if (quietAt > deadline)
            return false;
        // Woken by every fragment; sound that comes in the meantime pushes the wait further.
        m_changed.wait_until(lock, quietAt);
    }
}

bool MonitorListener::waitForSound(Clock::time_point from, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        const auto last = m_onset.lastAudible();
        return last && *last >= from;
    });
}

std::optional<MonitorListener::Clock::time_point> MonitorListener::lastAudible()
{
    std::lock_guard lock(m_mutex);
    return m_onset.lastAudible();
}

MonitorListener::Streams MonitorListener::streamsOf(pid_t pid)
{
    struct Query
    {
        MonitorListener *listener;
        std::string pid;
        Streams streams;
    } query { this, std::to_string(pid), {} };
    const auto onInput = [](pa_context *, const pa_sink_input_info *info, int eol, void *user) {
        auto *q = static_cast<Query *>(user);
        if (eol) {
            pa_threaded_mainloop_signal(q->listener->m_loop, 0);
            return;
        }
        const char *owner = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID);
        if (!owner || q->pid != owner)
            return;
        ++q->streams.open;
        q->streams.running += info->corked ? 0 : 1;
    };
    pa_threaded_mainloop_lock(m_loop);
    pa_operation *operation = pa_context_get_sink_input_info_list(m_context, onInput, &query);
    while (operation && pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
        pa_threaded_mainloop_wait(m_loop);
    if (operation)
        pa_operation_unref(operation);
    pa_threaded_mainloop_unlock(m_loop);
    return query.streams;
}
