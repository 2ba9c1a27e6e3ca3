// SPDX-License-Identifier: GPL-3.0-or-later
// The sound server is missing when the program starts, or dies while a line plays, and comes
// back: the next text is heard. The test runs a PulseAudio server of its own, so it can stop and
// start it; its own executable, so the process talks to no other server first. The tests run in
// order and share the process's one connection, as the windows of the program do.
#include "AudioAnalysis.h"
#include "Desktop.h"
#include "OwnSoundServer.h"
#include "SpeechEngineFactory.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>

namespace {

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
