// SPDX-License-Identifier: GPL-3.0-or-later
// The sound server dies while a line plays and comes back: the next text is heard. The test runs
// a PulseAudio server of its own, so it can stop and start it; its own executable, so the process
// talks to no other server first.
#include "AudioAnalysis.h"
#include "Desktop.h"
#include "SpeechEngineFactory.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const char *SinkName = "vocalo_restart_sink";

class OwnSoundServer
{
public:
    explicit OwnSoundServer(const QString &dir) : m_socket(dir + "/native") { }
    ~OwnSoundServer() { stop(); }

    QString address() const { return "unix:" + m_socket; }

    bool start()
    {
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        desktop::endWithThisProcess(m_server);
        m_server.start("pulseaudio",
            { "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "-n",
                "--disable-shm=yes", "--disallow-exit", "--log-level=error", "-L",
                "module-native-protocol-unix auth-anonymous=1 socket=" + m_socket, "-L",
                QString("module-null-sink sink_name=%1 rate=16000 channels=1").arg(SinkName), "-L",
                "module-always-sink" });
        if (!m_server.waitForStarted())
            return false;
        return QTest::qWaitFor(
            [&] {
                return desktop::run("pactl", { "set-default-sink", SinkName }).exitCode == 0;
            },
            10000);
    }

    void stop()
    {
        if (m_server.state() == QProcess::NotRunning)
            return;
        m_server.kill();
        m_server.waitForFinished();
    }

private:
    QString m_socket;
    QProcess m_server;
};

TEST(SoundServerRestartTest, TheNextTextIsHeardOnceTheServerIsBack)
{
    QTemporaryDir dir;
    OwnSoundServer server(dir.path());
    qputenv("PULSE_SERVER", server.address().toLocal8Bit());
    qputenv("VOCALO_TEST_SINK", SinkName);
    ASSERT_TRUE(server.start());

    auto engine = createSpeechEngine("Vocalo test");
    engine->SetSpeed(200);
    {
        desktop::MonitorRecorder recorder;
        recorder.start();
        engine->Speak(
            "This line is cut short when the sound server goes away in the middle of it.");
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return audio::isNonSilent(recorder.samplesSoFar()); }, 10000));
        server.stop();
        recorder.stop();
    }
    ASSERT_TRUE(server.start());

    // The rest of the first line plays silently; the text after it finds the server again.
    desktop::MonitorRecorder recorder;
    recorder.start();
    engine->Speak("Back again.");
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return audio::isNonSilent(recorder.samplesSoFar()); }, 20000));
    recorder.stop();
}

} // namespace
