// SPDX-License-Identifier: GPL-3.0-or-later
#include "MonitorRecorder.h"

#include "Desktop.h"

#include <pulse/pulseaudio.h>

#include <QtGlobal>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

namespace desktop {

using namespace std::chrono_literals;

namespace {

// Runs the operation to its end; the loop's lock is held.
void await(pa_threaded_mainloop *loop, pa_operation *operation)
{
    if (!operation)
        return;
    while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
        pa_threaded_mainloop_wait(loop);
    pa_operation_unref(operation);
}

} // namespace

struct MonitorRecorder::Connection
{
    explicit Connection(int threshold) : onset(SampleRate, threshold) { }

    static void signal(void *connection)
    {
        pa_threaded_mainloop_signal(static_cast<Connection *>(connection)->loop, 0);
    }
    static void onContextState(pa_context *, void *connection) { signal(connection); }
    static void onStreamState(pa_stream *, void *connection) { signal(connection); }
    static void onServerInfo(pa_context *, const pa_server_info *info, void *connection);
    static void onRead(pa_stream *stream, size_t, void *connection);

    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    pa_stream *stream = nullptr;
    std::string serverName;

    std::mutex mutex;
    std::condition_variable changed;
    SoundOnset onset;
    // In blocks, so that a long recording never moves what it holds while a sample is dated.
    std::deque<int16_t> samples;
};

void MonitorRecorder::Connection::onRead(pa_stream *stream, size_t, void *connection)
{
    // Everything readable now arrived by now: date it before anything else.
    const Clock::time_point arrival = Clock::now();
    auto *c = static_cast<Connection *>(connection);
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
    std::lock_guard lock(c->mutex);
    c->onset.feed(samples, arrival);
    c->samples.insert(c->samples.end(), samples.begin(), samples.end());
    c->changed.notify_all();
}

void MonitorRecorder::Connection::onServerInfo(
    pa_context *, const pa_server_info *info, void *connection)
{
    auto *c = static_cast<Connection *>(connection);
    if (info)
        c->serverName = std::string(info->server_name) + " " + info->server_version;
    signal(c);
}

MonitorRecorder::MonitorRecorder()
    : MonitorRecorder(qEnvironmentVariable("VOCALO_TEST_SINK", "vocalo_test_sink") + ".monitor",
        qEnvironmentVariable("VOCALO_TEST_SINK", "vocalo_test_sink"))
{ }

MonitorRecorder::MonitorRecorder(const QString &source, const QString &sink)
    : MonitorRecorder(Setup { .source = source, .keptRunning = sink })
{ }

MonitorRecorder::MonitorRecorder(Setup setup)
    : m_setup(std::move(setup)), m_connection(std::make_unique<Connection>(m_setup.threshold))
{ }

MonitorRecorder::~MonitorRecorder()
{
    reap(m_keepAlive);
    Connection &c = *m_connection;
    if (!c.loop)
        return;
    pa_threaded_mainloop_stop(c.loop);
    if (c.stream) {
        pa_stream_disconnect(c.stream);
        pa_stream_unref(c.stream);
    }
    if (c.context) {
        pa_context_disconnect(c.context);
        pa_context_unref(c.context);
    }
    pa_threaded_mainloop_free(c.loop);
}

bool MonitorRecorder::fail(const QString &why)
{
    m_error = why;
    qWarning("monitor recorder: %s", qPrintable(why));
    return false;
}

bool MonitorRecorder::start()
{
    if (!m_setup.keptRunning.isEmpty()) {
        m_keepAlive.setStandardInputFile("/dev/zero");
        endWithThisProcess(m_keepAlive);
        m_keepAlive.start("pacat",
            { "--playback", "--device=" + m_setup.keptRunning, "--client-name=vocalo-keep-alive",
                "--raw", "--format=s16le", "--rate=16000", "--channels=1" });
        m_keepAlive.waitForStarted();
    }

    Connection &c = *m_connection;
    c.loop = pa_threaded_mainloop_new();
    c.context = pa_context_new(pa_threaded_mainloop_get_api(c.loop), "vocalo-monitor-recorder");
    pa_context_set_state_callback(c.context, Connection::onContextState, &c);
    if (pa_context_connect(c.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return fail(pa_strerror(pa_context_errno(c.context)));
    pa_threaded_mainloop_lock(c.loop);
    pa_threaded_mainloop_start(c.loop);
    pa_context_state_t state;
    while (
        (state = pa_context_get_state(c.context)) != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(state))
        pa_threaded_mainloop_wait(c.loop);
    if (state != PA_CONTEXT_READY) {
        const int error = pa_context_errno(c.context);
        pa_threaded_mainloop_unlock(c.loop);
        return fail(pa_strerror(error));
    }
    await(c.loop, pa_context_get_server_info(c.context, Connection::onServerInfo, &c));

    const pa_sample_spec spec { PA_SAMPLE_S16LE, SampleRate, 1 };
    c.stream = pa_stream_new(c.context, "monitor", &spec, nullptr);
    pa_stream_set_state_callback(c.stream, Connection::onStreamState, &c);
    pa_stream_set_read_callback(c.stream, Connection::onRead, &c);
    pa_buffer_attr attributes {};
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.fragsize
        = static_cast<uint32_t>(m_setup.fragment.count() * SampleRate / 1000 * sizeof(int16_t));
    const QByteArray source = m_setup.source.toUtf8();
    // Never moved: on a desktop without a microphone, PulseAudio moves a recorder that follows
    // the default input (the monitor, there) onto a source that appears later, such as Vocalo's.
    pa_stream_connect_record(c.stream, source.constData(), &attributes,
        static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE));
    pa_stream_state_t streamState;
    while ((streamState = pa_stream_get_state(c.stream)) != PA_STREAM_READY
        && PA_STREAM_IS_GOOD(streamState))
        pa_threaded_mainloop_wait(c.loop);
    const int streamError = pa_context_errno(c.context);
    pa_threaded_mainloop_unlock(c.loop);
    if (streamState != PA_STREAM_READY)
        return fail(m_setup.source + ": " + pa_strerror(streamError));

    // A source whose sink is not running yet may start later: worth a word, not a failure.
    std::unique_lock lock(c.mutex);
    if (!c.changed.wait_for(lock, 5s, [&] { return !c.samples.empty(); }))
        qWarning("monitor recorder: %s gave no samples within 5 s", qPrintable(m_setup.source));
    return true;
}

std::vector<int16_t> MonitorRecorder::stop()
{
    Connection &c = *m_connection;
    if (c.stream) {
        pa_threaded_mainloop_lock(c.loop);
        pa_stream_disconnect(c.stream);
        pa_threaded_mainloop_unlock(c.loop);
    }
    reap(m_keepAlive, 2000);
    return samplesSoFar();
}

std::size_t MonitorRecorder::recordedSoFar()
{
    std::lock_guard lock(m_connection->mutex);
    return m_connection->samples.size();
}

std::vector<int16_t> MonitorRecorder::samplesSince(std::size_t mark)
{
    std::lock_guard lock(m_connection->mutex);
    const std::deque<int16_t> &samples = m_connection->samples;
    return { samples.begin() + static_cast<std::ptrdiff_t>(std::min(mark, samples.size())),
        samples.end() };
}

std::optional<double> MonitorRecorder::onsetAfter(
    Clock::time_point from, std::chrono::milliseconds timeout)
{
    Connection &c = *m_connection;
    std::unique_lock lock(c.mutex);
    c.onset.arm(from);
    if (!c.changed.wait_for(lock, timeout, [&] { return c.onset.onset().has_value(); }))
        return std::nullopt;
    return std::chrono::duration<double, std::milli>(*c.onset.onset() - from).count();
}

bool MonitorRecorder::waitForSilence(
    std::chrono::milliseconds quiet, std::chrono::milliseconds timeout)
{
    Connection &c = *m_connection;
    const Clock::time_point started = Clock::now();
    const Clock::time_point deadline = started + timeout;
    std::unique_lock lock(c.mutex);
    for (;;) {
        const Clock::time_point last = c.onset.lastAudible().value_or(started);
        const Clock::time_point quietAt = std::max(last, started) + quiet;
        if (Clock::now() >= quietAt)
            return true;
        if (quietAt > deadline)
            return false;
        // Woken by every fragment; sound that comes in the meantime pushes the wait further.
        c.changed.wait_until(lock, quietAt);
    }
}

bool MonitorRecorder::waitForSound(Clock::time_point from, std::chrono::milliseconds timeout)
{
    Connection &c = *m_connection;
    std::unique_lock lock(c.mutex);
    return c.changed.wait_for(lock, timeout, [&] {
        const auto last = c.onset.lastAudible();
        return last && *last >= from;
    });
}

std::optional<MonitorRecorder::Clock::time_point> MonitorRecorder::lastAudible()
{
    std::lock_guard lock(m_connection->mutex);
    return m_connection->onset.lastAudible();
}

QString MonitorRecorder::serverName() const
{
    return QString::fromStdString(m_connection->serverName);
}

MonitorRecorder::Streams MonitorRecorder::streamsOf(pid_t pid)
{
    struct Query
    {
        pa_threaded_mainloop *loop;
        std::string pid;
        Streams streams;
    } query { m_connection->loop, std::to_string(pid), {} };
    const auto onInput = [](pa_context *, const pa_sink_input_info *info, int eol, void *user) {
        auto *q = static_cast<Query *>(user);
        if (eol) {
            pa_threaded_mainloop_signal(q->loop, 0);
            return;
        }
        const char *owner = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID);
        if (!owner || q->pid != owner)
            return;
        ++q->streams.open;
        q->streams.running += info->corked ? 0 : 1;
    };
    Connection &c = *m_connection;
    if (!c.context)
        return {};
    pa_threaded_mainloop_lock(c.loop);
    await(c.loop, pa_context_get_sink_input_info_list(c.context, onInput, &query));
    pa_threaded_mainloop_unlock(c.loop);
    return query.streams;
}

} // namespace desktop
