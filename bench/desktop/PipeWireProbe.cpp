// SPDX-License-Identifier: GPL-3.0-or-later
// The fastest a client of PipeWire itself can be heard: a stream at the graph's rate whose
// real-time callback writes silence until a click is asked for, then the click, in the very
// cycle that follows. Options: --rate (Hz), --node-latency (the quantum it asks for, e.g.
// 64/48000), --inactive 1 (inactive once idle, as Vocalo's stream is corked) and --voice TEXT
// (ClickProbe.h).
#include "ClickProbe.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>

#include <atomic>
#include <cstdio>
#include <vector>

namespace {

struct Probe
{
    pw_thread_loop *loop = nullptr;
    pw_stream *stream = nullptr;
    unsigned rate = 48000;
    bool inactive = false;
    bool idle = false;
    spa_source *idleTimer = nullptr;
    std::vector<int16_t> sound;
    // Samples of the sound still to write; set by the trigger, run down by the callback.
    std::atomic<std::size_t> pending { 0 };
};

void process(void *data)
{
    auto *probe = static_cast<Probe *>(data);
    pw_buffer *buffer = pw_stream_dequeue_buffer(probe->stream);
    if (!buffer)
        return;
    spa_data &plane = buffer->buffer->datas[0];
    auto *out = static_cast<int16_t *>(plane.data);
    if (!out)
        return;
    std::size_t frames = plane.maxsize / sizeof(int16_t);
    if (buffer->requested > 0 && buffer->requested < frames)
        frames = buffer->requested;
    std::size_t pending = probe->pending.load();
    for (std::size_t i = 0; i < frames; ++i) {
        out[i] = pending > 0 ? probe->sound[probe->sound.size() - pending] : 0;
        pending -= pending > 0 ? 1 : 0;
    }
    probe->pending.store(pending);
    plane.chunk->offset = 0;
    plane.chunk->stride = sizeof(int16_t);
    plane.chunk->size = static_cast<uint32_t>(frames * sizeof(int16_t));
    pw_stream_queue_buffer(probe->stream, buffer);
}

void stateChanged(void *data, pw_stream_state, pw_stream_state state, const char *error)
{
    if (state == PW_STREAM_STATE_ERROR)
        std::fprintf(stderr, "pipewire-probe: %s\n", error ? error : "stream error");
    pw_thread_loop_signal(static_cast<Probe *>(data)->loop, false);
}

void idled(void *data, uint64_t)
{
    auto *probe = static_cast<Probe *>(data);
    probe->idle = true;
    pw_stream_set_active(probe->stream, false);
}

// On the loop's thread, with its lock held.
void click(Probe &probe)
{
    probe.pending.store(probe.sound.size());
    if (!probe.inactive)
        return;
    if (probe.idle) {
        probe.idle = false;
        pw_stream_set_active(probe.stream, true);
    }
    const uint64_t runOn = uint64_t(probe.sound.size()) * SPA_NSEC_PER_SEC / probe.rate
        + uint64_t(clickprobe::IdleBeforeStopMs) * SPA_NSEC_PER_MSEC;
    timespec at { time_t(runOn / SPA_NSEC_PER_SEC), long(runOn % SPA_NSEC_PER_SEC) };
    timespec once {};
    pw_loop_update_timer(pw_thread_loop_get_loop(probe.loop), probe.idleTimer, &at, &once, false);
}

} // namespace

int main(int argc, char **argv)
{
    using clickprobe::option;
    pw_init(&argc, &argv);
    Probe probe;
    probe.rate = static_cast<unsigned>(std::atoi(option(argc, argv, "--rate", "48000").c_str()));
    const std::string nodeLatency = option(argc, argv, "--node-latency", "64/48000");
    probe.inactive = option(argc, argv, "--inactive", "0") == "1";
    probe.sound = clickprobe::sound(argc, argv, probe.rate);

    pw_stream_events events {};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.process = process;
    events.state_changed = stateChanged;

    probe.loop = pw_thread_loop_new("pipewire-probe", nullptr);
    pw_properties *properties = pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY,
        "Playback", PW_KEY_MEDIA_ROLE, "Accessibility", nullptr);
    if (!nodeLatency.empty())
        pw_properties_set(properties, PW_KEY_NODE_LATENCY, nodeLatency.c_str());
    pw_thread_loop_lock(probe.loop);
    probe.stream = pw_stream_new_simple(
        pw_thread_loop_get_loop(probe.loop), "click", properties, &events, &probe);
    if (!probe.stream) {
        std::fputs("pipewire-probe: no stream\n", stderr);
        return 1;
    }
    spa_audio_info_raw format {};
    format.format = SPA_AUDIO_FORMAT_S16;
    format.rate = probe.rate;
    format.channels = 1;
    uint8_t podBuffer[1024];
    spa_pod_builder builder {};
    spa_pod_builder_init(&builder, podBuffer, sizeof podBuffer);
    const spa_pod *params[]
        = { spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &format) };
    const auto flags
        = static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS
            | PW_STREAM_FLAG_RT_PROCESS | (probe.inactive ? PW_STREAM_FLAG_INACTIVE : 0));
    if (pw_stream_connect(probe.stream, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) < 0) {
        std::fputs("pipewire-probe: cannot connect\n", stderr);
        return 1;
    }
    pw_thread_loop_start(probe.loop);
    while (pw_stream_get_state(probe.stream, nullptr) != PW_STREAM_STATE_STREAMING
        && !(probe.inactive
            && pw_stream_get_state(probe.stream, nullptr) == PW_STREAM_STATE_PAUSED)) {
        if (pw_stream_get_state(probe.stream, nullptr) == PW_STREAM_STATE_ERROR)
            return 1;
        pw_thread_loop_wait(probe.loop);
    }

    probe.idle = probe.inactive;
    probe.idleTimer = pw_loop_add_timer(pw_thread_loop_get_loop(probe.loop), idled, &probe);
    pw_thread_loop_unlock(probe.loop);

    clickprobe::clickOnEachLine([&] {
        pw_thread_loop_lock(probe.loop);
        click(probe);
        pw_thread_loop_unlock(probe.loop);
    });
    return 0;
}
