// SPDX-License-Identifier: GPL-3.0-or-later
// The "Vocalo" microphone as a call program sees it, on the real program and sound server (run
// once on PulseAudio and once on PipeWire): recorded from the source the way a call records it,
// compared with what the speakers carry, and counted in the server's list of sources.
#include "AudioAnalysis.h"
#include "Desktop.h"
#include "TwipWindow.h"

#include <QFile>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

using namespace desktop;

namespace {

constexpr const char *Source = "vocalo_microphone";
constexpr const char *Sink = "vocalo_call_line";

// Sources described as "Vocalo", the name a call program offers.
int vocaloMicrophones()
{
    const QStringList lines = run("pactl", { "list", "sources" }).output.split('\n');
    return int(std::count_if(lines.begin(), lines.end(),
        [](const QString &line) { return line.trimmed() == "Description: Vocalo"; }));
}

// The user's own microphone (or, on a desktop without one, the speakers' monitor) and speakers.
QString defaults()
{
    return run("pactl", { "get-default-source" }).output.trimmed() + " "
        + run("pactl", { "get-default-sink" }).output.trimmed();
}

// Pixels of a shot that are so: the strip's "No sound" mark is white on red.
int pixels(const QImage &shot, QRect where, const std::function<bool(QColor)> &are)
{
    int count = 0;
    for (int y = where.top(); y <= where.bottom(); ++y)
        for (int x = where.left(); x <= where.right(); ++x)
            count += are(shot.pixelColor(x, y));
    return count;
}
const auto red = [](QColor c) { return c.red() > 150 && c.green() < 60 && c.blue() < 80; };
const auto ink = [](QColor c) { return c.lightness() < 100; };
const QRect TheBox(10, 3, 290, 13);

// Waits until sound came and has been followed by half a second of silence.
bool heardAndQuiet(MonitorRecorder &recorder, std::size_t mark)
{
    return waitUntil(
        [&] {
            const auto heard = recorder.samplesSince(mark);
            const auto span = audio::nonSilentSpan(heard);
            return span.found && heard.size() - span.last > std::size_t(audio::SampleRate) / 2;
        },
        15000);
}

class CallMicrophoneTest : public ::testing::Test
{
protected:
    void startVocalo(VocaloProcess &vocalo)
    {
        vocalo.start();
        ASSERT_TRUE(waitUntil([] { return vocaloMicrophones() == 1; }, 10000))
            << "no \"Vocalo\" source while Vocalo runs";
    }

    QImage stripShot(const char *name) { return QImage(screenshot(*strip, name)); }

    void waitForStrip()
    {
        ASSERT_TRUE(waitUntil(
            [&] {
                strip = findWindow("Vocalo 1.0", 0);
                return strip && geometry(*strip)->viewable && focusedWindow() == *strip;
            },
            20000))
            << "the strip never showed with the keyboard";
    }

    void clickAt(WindowId window, QPoint at)
    {
        const WindowGeometry g = geometry(window).value_or(WindowGeometry {});
        xdotool({ "mousemove", "--sync", QString::number(g.x + at.x()),
            QString::number(g.y + at.y()) });
        xdotool({ "click", "1" });
    }

    // The n-th command of the strip's menu, chosen with the keyboard once the menu shows.
    void choose(int command)
    {
        const std::vector<WindowId> before = visibleWindowsOfClass("vocalo");
        clickAt(*strip, { 364, 9 });
        waitUntil([&] {
            for (const WindowId window : visibleWindowsOfClass("vocalo"))
                if (std::find(before.begin(), before.end(), window) == before.end())
                    return true;
            return false;
        });
        for (int i = 0; i < command; ++i)
            xdotool({ "key", "Down" });
        xdotool({ "key", "Return" });
    }

    std::optional<WindowId> strip;
};

// What the call hears of one act, beside what the speakers play.
struct Heard
{
    std::vector<int16_t> call;
    std::vector<int16_t> speakers;
};

TEST_F(CallMicrophoneTest, CarriesWhatTheUserSaysAndNothingElseAndLeavesTheDefaultsAlone)
{
    const QString userDevices = defaults();
    // A desktop without a microphone takes Vocalo's as its input while there is one.
    const QString whileRunning = qEnvironmentVariable("VOCALO_TEST_MICROPHONE").isEmpty()
        ? QString(Source) + " " + qEnvironmentVariable("VOCALO_TEST_SINK")
        : userDevices;
    VocaloProcess vocalo;
    startVocalo(vocalo);
    MonitorRecorder call(Source, Sink);
    MonitorRecorder speakers;
    call.start();
    speakers.start();
    EXPECT_EQ(defaults(), whileRunning);

    // The splash's greeting and the strip's own, on the speakers only. The strip greets as it
    // shows, after a quiet spell that follows the splash's.
    waitForStrip();
    const std::size_t stripShown = speakers.recordedSoFar();
    ASSERT_TRUE(heardAndQuiet(speakers, stripShown - std::min<std::size_t>(stripShown, 8000)))
        << "no greeting from the strip on the speakers";
    EXPECT_FALSE(audio::isNonSilent(call.samplesSoFar())) << "a greeting went into the call";

    const auto hear = [&](const std::function<void()> &act) {
        const std::size_t callMark = call.recordedSoFar();
        const std::size_t speakersMark = speakers.recordedSoFar();
        act();
        heardAndQuiet(call, callMark);
        heardAndQuiet(speakers, speakersMark);
        return Heard { call.samplesSince(callMark), speakers.samplesSince(speakersMark) };
    };
    const Heard line = hear([] {
        xdotool({ "type", "--delay", "20", "Can you hear me?" });
        xdotool({ "key", "Return" });
    });
    choose(2); // Quick Window
    const auto board = findWindow("Quick Window!");
    ASSERT_TRUE(board);
    xdotool({ "windowmove", "--sync", QString::number(*board), "0", "0" });
    const Heard phrase = hear([&] {
        // Command27, the longest phrase.
        clickAt(*board, TwipWindow::toPixelRect(2640, 3360, 1695, 255).center());
    });
    for (const Heard *heard : { &line, &phrase }) {
        const auto onCall = audio::nonSilentSpan(heard->call);
        const auto onSpeakers = audio::nonSilentSpan(heard->speakers);
        ASSERT_TRUE(onCall.found) << "not heard in the call";
        ASSERT_TRUE(onSpeakers.found) << "not heard on the speakers";
        EXPECT_NEAR(onCall.seconds(), onSpeakers.seconds(), 0.1 * onSpeakers.seconds());
        const double callLevel = audio::rms(heard->call);
        const double speakersLevel = audio::rms(heard->speakers);
        EXPECT_NEAR(callLevel / speakersLevel, 1.0, 0.25) << "not the same sound";
    }
    EXPECT_EQ(defaults(), whileRunning);

    // Esc silences a phrase of the board in the call as on the speakers, pressed on the board or
    // in the strip.
    const QPoint longest = TwipWindow::toPixelRect(2640, 3360, 1695, 255).center();
    for (const bool onTheBoard : { true, false }) {
        SCOPED_TRACE(onTheBoard ? "Esc on the board" : "Esc in the strip");
        const std::size_t clicked = call.recordedSoFar();
        clickAt(*board, longest);
        if (!onTheBoard)
            clickAt(*strip, { 150, 9 });
        ASSERT_TRUE(waitUntil([&] { return audio::isNonSilent(call.samplesSince(clicked)); }));
        QTest::qWait(1000);
        // Marked before the key: what is measured includes xdotool's own start.
        const std::size_t callAtEsc = call.recordedSoFar();
        const std::size_t speakersAtEsc = speakers.recordedSoFar();
        xdotool({ "key", "Escape" });
        QTest::qWait(2000);
        for (const auto &[where, after] : { std::pair("call", call.samplesSince(callAtEsc)),
                 std::pair("speakers", speakers.samplesSince(speakersAtEsc)) }) {
            const auto sound = audio::nonSilentSpan(after);
            EXPECT_TRUE(!sound.found || sound.last < std::size_t(audio::SampleRate) / 4)
                << "the " << where << " still heard it " << sound.last << " samples on";
        }
    }
    ASSERT_TRUE(findWindow("Quick Window!", 0)) << "Esc during a phrase closed the board";
    // A heading: the board has the keyboard, and nothing is said.
    clickAt(*board, TwipWindow::toPixelRect(120, 120, 1095, 255).center());
    xdotool({ "key", "Escape" });
    EXPECT_TRUE(waitUntil([] { return !findWindow("Quick Window!", 0); }))
        << "Esc with nothing playing leaves the board open";

    choose(5); // Exit
    ASSERT_TRUE(vocalo.waitForExit(5000));
    EXPECT_EQ(vocaloMicrophones(), 0) << "left behind after Exit";
    EXPECT_TRUE(waitUntil([&] { return defaults() == userDevices; }));
}

TEST_F(CallMicrophoneTest, OneAfterAKillAndNoneAfterTheTerminationSignals)
{
    {
        VocaloProcess killed;
        startVocalo(killed);
        ::kill(pid_t(killed.process().processId()), SIGKILL);
        ASSERT_TRUE(killed.waitForExit(5000));
        EXPECT_EQ(vocaloMicrophones(), 1) << "a killed process cannot take its device along";
    }
    for (const int signal : { SIGTERM, SIGINT }) {
        SCOPED_TRACE(signal);
        VocaloProcess vocalo;
        startVocalo(vocalo);
        // The leftover is replaced, never joined by a second.
        for (int i = 0; i < 20; ++i) {
            EXPECT_EQ(vocaloMicrophones(), 1);
            QTest::qWait(100);
        }
        ::kill(pid_t(vocalo.process().processId()), signal);
        ASSERT_TRUE(vocalo.waitForExit(5000));
        EXPECT_EQ(vocalo.process().exitStatus(), QProcess::CrashExit) << "ended by the signal";
        EXPECT_EQ(vocaloMicrophones(), 0);
    }
}

// With the server gone, a line stays in the box under the "No sound" mark; once it is back, the
// mark goes, the microphone is there again, and Enter says the line and clears the box.
TEST_F(CallMicrophoneTest, ComesBackWithARestartedServer)
{
    VocaloProcess vocalo;
    startVocalo(vocalo);
    waitForStrip();

    ::kill(pid_t(qEnvironmentVariableIntValue("VOCALO_TEST_SOUND_PID")), SIGTERM);
    QProcess server;
    endWithThisProcess(server);
    server.setProcessChannelMode(QProcess::ForwardedChannels);
    const QString ready = qEnvironmentVariable("XDG_RUNTIME_DIR") + "/sound-server.ready";
    ASSERT_TRUE(waitUntil([&] { return !QFile::exists(ready); }));
    const auto markShown
        = [&] { return pixels(stripShot("vocalo-mark"), QRect(0, 0, 369, 19), red) > 200; };
    ASSERT_TRUE(waitUntil(markShown)) << "the strip does not say it has no sound";
    xdotool({ "type", "--delay", "20", "Still there?" });
    xdotool({ "key", "Return" });
    QTest::qWait(300);
    EXPECT_GT(pixels(stripShot("vocalo-unheard"), TheBox, ink), 100) << "cleared, though unheard";

    server.start(qEnvironmentVariable("VOCALO_TEST_SOUND_SERVER"),
        { qEnvironmentVariable("VOCALO_TEST_SOUND") });
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(ready); }, 15000));
    EXPECT_TRUE(waitUntil([&] { return !markShown(); }, 10000)) << "the mark stayed";
    ASSERT_TRUE(waitUntil([] { return vocaloMicrophones() == 1; }, 10000))
        << "the microphone did not come back with the server";

    MonitorRecorder call(Source, Sink);
    call.start();
    xdotool({ "key", "Return" });
    EXPECT_TRUE(heardAndQuiet(call, 0)) << "the next line did not reach the call";
    EXPECT_LT(pixels(stripShot("vocalo-heard"), TheBox, ink), 20) << "a line heard stays";
}

} // namespace
