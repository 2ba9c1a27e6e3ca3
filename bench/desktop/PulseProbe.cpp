// SPDX-License-Identifier: GPL-3.0-or-later
// The fastest a libpulse client can be heard: a playback stream kept open and drained, so a click
// only has to be written. Options: --rate (Hz), --latency (the target, in microseconds),
// --node-latency (PipeWire's quantum for the stream, e.g. 128/48000; "" leaves it to the server)
// --cork 1 (corked once idle, as Vocalo's stream is) and --voice TEXT (ClickProbe.h).
#include "ClickProbe.h"

#include <pulse/pulseaudio.h>

#include <cstdio>
#include <vector>

namespace {

struct Probe
{
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    pa_stream *stream = nullptr;
    unsigned rate = 16000;
    bool cork = false;
    bool corked = false;
    pa_time_event *idle = nullptr;
};

void signalLoop(pa_context *, void *probe)
{
    pa_threaded_mainloop_signal(static_cast<Probe *>(probe)->loop, 0);
}

void signalLoopFromStream(pa_stream *, void *probe)
{
    pa_threaded_mainloop_signal(static_cast<Probe *>(probe)->loop, 0);
}

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "pulse-probe: %s\n", what);
    std::exit(1);
}

void idled(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *data)
{
    auto *probe = static_cast<Probe *>(data);
    probe->corked = true;
    pa_operation_unref(pa_stream_cork(probe->stream, 1, nullptr, nullptr));
}

void click(Probe &probe, const std::vector<int16_t> &samples)
{
    pa_threaded_mainloop_lock(probe.loop);
    if (probe.corked) {
        probe.corked = false;
        pa_operation_unref(pa_stream_cork(probe.stream, 0, nullptr, nullptr));
    }
    pa_stream_write(probe.stream, samples.data(), samples.size() * sizeof(int16_t), nullptr, 0,
        PA_SEEK_RELATIVE);
    if (probe.cork) {
        timeval at {};
        pa_timeval_add(pa_gettimeofday(&at),
            pa_bytes_to_usec(
                samples.size() * sizeof(int16_t), pa_stream_get_sample_spec(probe.stream))
                + clickprobe::IdleBeforeStopMs * PA_USEC_PER_MSEC);
        pa_mainloop_api *api = pa_threaded_mainloop_get_api(probe.loop);
        if (probe.idle)
            api->time_restart(probe.idle, &at);
        else
            probe.idle = api->time_new(api, &at, idled, &probe);
    }
    pa_threaded_mainloop_unlock(probe.loop);
}

} // namespace

int main(int argc, char **argv)
{
    using clickprobe::option;
    Probe probe;
    probe.rate = static_cast<unsigned>(std::atoi(option(argc, argv, "--rate", "16000").c_str()));
    const auto latency
        = static_cast<pa_usec_t>(std::atol(option(argc, argv, "--latency", "4000").c_str()));
    const std::string nodeLatency = option(argc, argv, "--node-latency", "");
    const std::string forceQuantum = option(argc, argv, "--force-quantum", "");
    probe.cork = option(argc, argv, "--cork", "0") == "1";
    probe.corked = probe.cork;

    probe.loop = pa_threaded_mainloop_new();
    probe.context = pa_context_new(pa_threaded_mainloop_get_api(probe.loop), "pulse-probe");
    pa_context_set_state_callback(probe.context, signalLoop, &probe);
    if (pa_context_connect(probe.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        fail("no sound server");
    pa_threaded_mainloop_lock(probe.loop);
    pa_threaded_mainloop_start(probe.loop);
    while (pa_context_get_state(probe.context) != PA_CONTEXT_READY) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(probe.context)))
            fail("the sound server refused");
        pa_threaded_mainloop_wait(probe.loop);
    }

    const pa_sample_spec spec { PA_SAMPLE_S16LE, probe.rate, 1 };
    pa_proplist *properties = pa_proplist_new();
    if (!nodeLatency.empty())
        pa_proplist_sets(properties, "node.latency", nodeLatency.c_str());
    if (!forceQuantum.empty())
        pa_proplist_sets(properties, "node.force-quantum", forceQuantum.c_str());
    probe.stream = pa_stream_new_with_proplist(probe.context, "click", &spec, nullptr, properties);
    pa_proplist_free(properties);
    pa_stream_set_state_callback(probe.stream, signalLoopFromStream, &probe);
    const auto bytes
        = [&](pa_usec_t usec) { return static_cast<uint32_t>(pa_usec_to_bytes(usec, &spec)); };
    pa_buffer_attr attributes;
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.tlength = bytes(latency);
    // One sample starts playback: the click never waits for more of itself.
    attributes.prebuf = sizeof(int16_t);
    attributes.minreq = bytes(latency / 4);
    attributes.fragsize = static_cast<uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | (probe.cork ? PA_STREAM_START_CORKED : 0));
    if (pa_stream_connect_playback(probe.stream, nullptr, &attributes, flags, nullptr, nullptr) < 0)
        fail("no playback stream");
    while (pa_stream_get_state(probe.stream) != PA_STREAM_READY) {
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(probe.stream)))
            fail("the playback stream failed");
        pa_threaded_mainloop_wait(probe.loop);
    }
    pa_threaded_mainloop_unlock(probe.loop);

    const std::vector<int16_t> samples = clickprobe::sound(argc, argv, probe.rate);
    clickprobe::clickOnEachLine([&] { click(probe, samples); });
    return 0;
}
