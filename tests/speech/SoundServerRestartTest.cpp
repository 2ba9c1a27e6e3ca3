// SPDX-License-Identifier: GPL-3.0-or-later
// The sound server is missing when the program starts, dies while a line plays, ends a line's
// stream, or is named a sink it does not have: the next text is heard. One that hangs does not
// hold a line for good. The test runs a PulseAudio
// server of its own, so it can stop and start it; its own executable, so the process talks to no
// other server first. The tests run in order and share the process's one connection, as the windows
// of the program do.
#include "AudioAnalysis.h"
#include "Desktop.h"
#include "OwnSoundServer.h"
#include "SpeechEngineFactory.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>

#include <pulse/pulseaudio.h>

#include <span>

namespace {

// Ends a playback stream from the server's side, as a mixer can.
bool killStream(uint32_t index)
{
    pa_mainloop *loop = pa_mainloop_new();
    pa_context *context = pa_context_new(pa_mainloop_get_api(loop), "Vocalo test");
    int killed = 0;
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) >= 0) {
        while (PA_CONTEXT_IS_GOOD(pa_context_get_state(context))
            && pa_context_get_state(context) != PA_CONTEXT_READY)
            pa_mainloop_iterate(loop, 1, nullptr);
        if (pa_operation *operation = pa_context_kill_sink_input(
                context, index,
                [](pa_context *, int ok, void *done) { *static_cast<int *>(done) = ok; },
                &killed)) {
            while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
                pa_mainloop_iterate(loop, 1, nullptr);
            pa_operation_unref(operation);
        }
        pa_context_disconnect(context);
    }
    pa_context_unref(context);
    pa_mainloop_free(loop);
    return killed;
}

class SoundServerRestartTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        server = new OwnSoundServer(dir->path());
        qputenv("PULSE_SERVER", server->address().toLocal8Bit());
        qputenv("VOCALO_TEST_SINK", OwnSoundServer::SinkName);
    }
    static void TearDownTestSuite()
    {
        delete server;
        delete dir;
    }

    // Whether `text` is heard on the server's sink, within a hang bound.
    static bool heard(SpeechEngine &engine, const QString &text)
    {
        desktop::MonitorRecorder recorder;
        recorder.start();
        engine.Speak(text);
        return desktop::waitUntil(
            [&] { return audio::isNonSilent(recorder.samplesSoFar()); }, 20000);
    }

    static inline QTemporaryDir *dir = nullptr;
    static inline OwnSoundServer *server = nullptr;
};

TEST_F(SoundServerRestartTest, TheFirstTextAfterTheServerAppearsIsHeard)
{
    auto engine = createSpeechEngine("Vocalo test");
    engine->SetSpeed(250);
    engine->Speak("Nobody is there to hear this.");
    engine->Speak("Nor this.");
    QTest::qWait(300);
    ASSERT_TRUE(server->start());
    // The two texts above still play into nothing, in real time; this one finds the server.
    EXPECT_TRUE(heard(*engine, "Now someone listens."));
}

TEST_F(SoundServerRestartTest, TheNextTextIsHeardOnceTheServerIsBack)
{
    ASSERT_TRUE(server->start());
    auto engine = createSpeechEngine("Vocalo test");
    engine->SetSpeed(200);
    ASSERT_TRUE(heard(
        *engine, "This line is cut short when the sound server goes away in the middle of it."));
    server->kill();
    ASSERT_TRUE(server->start());
    // The rest of the first line plays into nothing; the text after it finds the server again.
    EXPECT_TRUE(heard(*engine, "Back again."));
}

// The server ends a line's stream: the rest of the line plays into nothing rather than on a
// stream opened again, and the next text has a stream.
TEST_F(SoundServerRestartTest, AfterTheServerEndsAStreamTheNextTextIsHeard)
{
    auto engine = createSpeechEngine("Vocalo test");
    engine->SetSpeed(150);
    ASSERT_TRUE(heard(*engine, "This line loses its stream in the middle and goes on unheard."));
    const QString stream
        = desktop::run("pactl", { "list", "short", "sink-inputs" }).output.section('\t', 0, 0);
    ASSERT_TRUE(killStream(stream.toUInt()));
    desktop::MonitorRecorder recorder;
    recorder.start();
    QTest::qWait(1500);
    const auto afterKill = recorder.stop();
    const std::size_t tail = std::min<std::size_t>(afterKill.size(), audio::SampleRate);
    EXPECT_FALSE(audio::isNonSilent(std::span<const int16_t>(afterKill).last(tail)));
    EXPECT_TRUE(heard(*engine, "Back again."));
}

// The server hangs while the stream rests corked: the next line cannot start on it, and plays out
// unheard once the server has failed to answer (libpulse waits 30 seconds), rather than never.
TEST_F(SoundServerRestartTest, ALineOnAServerThatHangsStillEnds)
{
    ASSERT_TRUE(server->start());
    auto engine = createSpeechEngine("Vocalo test");
    ASSERT_TRUE(heard(*engine, "Heard before the server hangs."));
    ASSERT_TRUE(desktop::waitUntil([&] { return !engine->Speaking(); }, 20000));
    // The stream corks after an idle second.
    QTest::qWait(3000);
    server->freeze();
    engine->Speak("Nobody hears this.");
    EXPECT_TRUE(desktop::waitUntil([&] { return !engine->Speaking(); }, 90000));
    server->thaw();
}

// A PULSE_SINK naming no sink is asked for again on the default sink.
TEST_F(SoundServerRestartTest, APulseSinkNamingNoSinkPlaysOnTheDefault)
{
    // Read when the process connects: the restart makes the next text connect anew.
    qputenv("PULSE_SINK", "no_such_sink");
    server->kill();
    ASSERT_TRUE(server->start());
    auto engine = createSpeechEngine("Vocalo test");
    EXPECT_TRUE(heard(*engine, "Heard all the same."));
    qunsetenv("PULSE_SINK");
}

} // namespace
