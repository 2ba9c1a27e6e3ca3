// SPDX-License-Identifier: GPL-3.0-or-later
// A Wayland session (headless Weston with XWayland, VOCALO_TEST_DESKTOP=weston). Left to
// choose, the program runs on X11 through XWayland, where its windows can do all they need;
// forced onto Wayland it still starts, speaks, says once what that desktop does not allow, and
// ends without a crash when the session does. This test process itself runs offscreen, so the
// compositor's end leaves it alive.
#include "AudioAnalysis.h"
#include "Desktop.h"

#include <QElapsedTimer>
#include <QProcessEnvironment>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>

using namespace desktop;

namespace {

constexpr int StartTimeoutMs = 20000;
const QString LimitsLine = QStringLiteral("vocalo: this Wayland desktop does not let");

void startWithPlatform(VocaloProcess &vocalo, const QString &platform)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        environment.insert("QT_QPA_PLATFORM", platform);
    vocalo.process().setProcessEnvironment(environment);
    vocalo.start();
}

// Waits until something has been heard and has then stayed quiet for half a second.
bool greetingHeard(MonitorRecorder &recorder)
{
    return waitUntil(
        [&] {
            const std::vector<int16_t> samples = recorder.samplesSoFar();
            const audio::SoundSpan span = audio::nonSilentSpan(samples);
            return span.found && span.seconds() > 0.5
                && samples.size() - span.last > std::size_t(audio::SampleRate) / 2;
        },
        StartTimeoutMs);
}

TEST(WaylandSession, LeftToChooseTheStripIsAnXWindowThatSpeaks)
{
    ASSERT_EQ(qEnvironmentVariable("XDG_SESSION_TYPE"), "wayland");
    ASSERT_FALSE(qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"));
    MonitorRecorder recorder;
    recorder.start();
    VocaloProcess vocalo;
    startWithPlatform(vocalo, {});
    const auto strip = findWindow("Vocalo 1.0", StartTimeoutMs);
    ASSERT_TRUE(strip) << "no X11 strip on XWayland";
    EXPECT_TRUE(waitUntil([&] { return geometry(*strip) && geometry(*strip)->viewable; }));
    EXPECT_TRUE(greetingHeard(recorder)) << "nothing heard";
    EXPECT_TRUE(vocalo.running());
    EXPECT_FALSE(QString::fromUtf8(vocalo.standardError()).contains(LimitsLine))
        << "nothing to complain about on X11";
}

// Last: it ends the session.
TEST(WaylandSession, ForcedOntoWaylandItStartsSpeaksSaysWhatIsMissingAndEndsWithTheSession)
{
    MonitorRecorder recorder;
    recorder.start();
    VocaloProcess vocalo;
    startWithPlatform(vocalo, "wayland");
    EXPECT_TRUE(greetingHeard(recorder)) << "nothing heard";
    ASSERT_TRUE(vocalo.running()) << vocalo.standardError().toStdString();
    EXPECT_FALSE(findWindow("Vocalo 1.0", 0)) << "a Wayland window, not an X11 one";
    QString errors = QString::fromUtf8(vocalo.standardError());
    EXPECT_EQ(errors.count(LimitsLine), 1) << errors.toStdString();
    EXPECT_TRUE(errors.contains("keep itself on top")) << errors.toStdString();

    const qint64 compositor = qEnvironmentVariableIntValue("VOCALO_TEST_DISPLAY_PID");
    ASSERT_GT(compositor, 0);
    QElapsedTimer sinceEnd;
    sinceEnd.start();
    QProcess::execute("kill", { QString::number(compositor) });
    // Only a hang is bounded here; the time is printed.
    ASSERT_TRUE(vocalo.waitForExit(10000)) << "still running after the compositor ended";
    std::printf("ended %lld ms after the compositor\n", static_cast<long long>(sinceEnd.elapsed()));
    errors += QString::fromUtf8(vocalo.standardError());
    EXPECT_EQ(vocalo.process().exitStatus(), QProcess::NormalExit) << errors.toStdString();
    EXPECT_EQ(vocalo.exitCode(), 1) << errors.toStdString();
    EXPECT_EQ(errors.count(LimitsLine), 1) << "said once";
}

} // namespace
