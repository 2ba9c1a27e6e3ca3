// SPDX-License-Identifier: GPL-3.0-or-later
// The engine through the real sound server of the test desktop: what its null sink's monitor
// hears is what a user would hear.
#include "AudioAnalysis.h"
#include "Desktop.h"
#include "FliteSpeechEngine.h"
#include "SpeechEngineFactory.h"

#include <gtest/gtest.h>

#include <QTest>

#include <cstdio>
#include <span>

namespace {

const QString Sentence = QStringLiteral("The quick brown fox jumps over the lazy dog.");

// Records the monitor while `speak` runs and until the sink has been silent for a while.
std::vector<int16_t> record(const std::function<void()> &speak, int maxMs = 20000)
{
    desktop::MonitorRecorder recorder;
    recorder.start();
    speak();
    QElapsedTimer clock;
    clock.start();
    // Done once something sounded and the last 600 ms are silent.
    const bool quiet = desktop::waitUntil(
        [&] {
            const auto s = recorder.samplesSoFar();
            const std::size_t tail = audio::SampleRate * 6 / 10;
            if (!audio::isNonSilent(s) || s.size() < tail)
                return false;
            return !audio::isNonSilent(std::span<const int16_t>(s).last(tail));
        },
        maxMs);
    EXPECT_TRUE(quiet) << "the sink never fell silent";
    return recorder.stop();
}

std::vector<int16_t> speakAndRecord(const QString &text, int speed, int pitch)
{
    auto engine = createSpeechEngine("Vocalo test");
    engine->SetSpeed(speed);
    engine->SetPitch(pitch);
    return record([&] { engine->Speak(text); });
}

class DesktopPitchTest : public testing::TestWithParam<int>
{ };

TEST_P(DesktopPitchTest, MedianF0FollowsThePitch)
{
    const auto heard = speakAndRecord(Sentence, 150, GetParam());
    ASSERT_TRUE(audio::isNonSilent(heard));
    EXPECT_NEAR(audio::medianF0(heard), GetParam(), GetParam() * 0.10);
}

INSTANTIATE_TEST_SUITE_P(Rows, DesktopPitchTest, testing::Values(50, 85, 150, 400));

TEST(DesktopSpeechTest, DurationScalesInverselyWithSpeed)
{
    const double slow = audio::nonSilentSpan(speakAndRecord(Sentence, 50, 100)).seconds();
    const double fast = audio::nonSilentSpan(speakAndRecord(Sentence, 250, 100)).seconds();
    ASSERT_GT(fast, 0.3);
    EXPECT_NEAR(slow / fast, 5.0, 0.6);
}

// The second text, queued while the first plays, sounds after it in full, at its own pitch: the
// recording is as long as both alone, low-pitched first and high-pitched last.
TEST(DesktopSpeechTest, ASpeakDuringSpeechPlaysAfterItInFull)
{
    const double first = audio::nonSilentSpan(speakAndRecord(Sentence, 180, 90)).seconds();
    const double second = audio::nonSilentSpan(speakAndRecord("Second line.", 180, 250)).seconds();

    auto engine = createSpeechEngine("Vocalo test");
    engine->SetSpeed(180);
    engine->SetPitch(90);
    const auto heard = record([&] {
        engine->Speak(Sentence);
        QTest::qWait(700);
        engine->SetPitch(250);
        engine->Speak("Second line.");
    });
    const audio::SoundSpan span = audio::nonSilentSpan(heard);
    ASSERT_TRUE(span.found);
    EXPECT_NEAR(span.seconds(), first + second, 0.25 * (first + second));
    const auto sound = std::span<const int16_t>(heard).subspan(span.first, span.last - span.first);
    const std::size_t secondLength = std::size_t(second * audio::SampleRate);
    EXPECT_NEAR(audio::medianF0(sound.first(sound.size() - secondLength * 3 / 2)), 90, 9);
    EXPECT_NEAR(audio::medianF0(sound.last(secondLength * 3 / 4)), 250, 25);
}

TEST(DesktopSpeechTest, MarkupIsNotObeyed)
{
    auto engine = createSpeechEngine("Vocalo test");
    engine->SetSpeed(200);
    engine->SetPitch(110);
    const auto heard = record([&] {
        engine->Speak("<pitch absmiddle=\"10\"> \\Pit=300\\ \x01 hello");
        engine->Speak(Sentence);
    });
    ASSERT_TRUE(audio::isNonSilent(heard));
    EXPECT_NEAR(audio::medianF0(heard), 110, 11);
}

// The three talking windows may speak at once; their sinks mix.
TEST(DesktopSpeechTest, ThreeInstancesSoundTogether)
{
    const double alone = audio::nonSilentSpan(speakAndRecord(Sentence, 150, 100)).seconds();
    auto a = createSpeechEngine("Vocalo test");
    auto b = createSpeechEngine("Vocalo test");
    auto c = createSpeechEngine("Vocalo test");
    for (auto *e : { a.get(), b.get(), c.get() })
        e->SetSpeed(150);
    a->SetPitch(80);
    b->SetPitch(160);
    c->SetPitch(320);
    const auto heard = record([&] {
        for (auto *e : { a.get(), b.get(), c.get() })
            e->Speak(Sentence);
    });
    // Played one after the other they would take three times as long.
    EXPECT_NEAR(audio::nonSilentSpan(heard).seconds(), alone, 0.3 * alone);
    EXPECT_GT(audio::rms(heard), 0.0);
}

// Our streams in the sound server's list, one block of `pactl list sink-inputs` each.
QStringList ourStreams()
{
    const QString pid = QString::number(QCoreApplication::applicationPid());
    QStringList ours;
    const auto blocks
        = desktop::run("pactl", { "list", "sink-inputs" }).output.split("Sink Input #");
    for (const QString &block : blocks)
        if (block.contains(QString("application.process.id = \"%1\"").arg(pid)))
            ours << block;
    return ours;
}

// While it speaks, the mixer shows the stream under the program's and the window's names; a
// second after it has spoken, it holds no running stream, so the sound device may sleep.
TEST(DesktopSpeechTest, NamedInTheMixerAndCorkedWhenIdle)
{
    auto engine = createSpeechEngine("Vocalo naming test");
    desktop::MonitorRecorder recorder;
    recorder.start();
    engine->Speak(Sentence);
    ASSERT_TRUE(
        desktop::waitUntil([&] { return audio::isNonSilent(recorder.samplesSoFar()); }, 10000));
    const QStringList whileSpeaking = ourStreams();
    ASSERT_EQ(whileSpeaking.size(), 1) << whileSpeaking.join("").toStdString();
    EXPECT_TRUE(whileSpeaking[0].contains("media.name = \"Vocalo naming test\""));
    EXPECT_TRUE(whileSpeaking[0].contains("application.name = \"Vocalo\""));
    EXPECT_TRUE(whileSpeaking[0].contains("application.icon_name = \"org.vocalo.Vocalo\""));
    EXPECT_TRUE(whileSpeaking[0].contains("Corked: no"));

    const auto quiet = record([] {});
    EXPECT_TRUE(desktop::waitUntil(
        [&] {
            const QStringList streams = ourStreams();
            return streams.size() == 1 && streams[0].contains("Corked: yes");
        },
        2000))
        << ourStreams().join("").toStdString();
}

// Stop drops what the server still holds: the sink falls silent at once, the text queued behind
// is not heard, and the next text plays.
TEST(DesktopSpeechTest, StopSilencesTheSinkAndTheNextTextPlays)
{
    auto engine = createSpeechEngine("Vocalo test");
    desktop::MonitorRecorder recorder;
    recorder.start();
    engine->Speak(Sentence + ' ' + Sentence + ' ' + Sentence);
    engine->Speak("Queued behind it.");
    ASSERT_TRUE(
        desktop::waitUntil([&] { return audio::isNonSilent(recorder.samplesSoFar()); }, 10000));
    QTest::qWait(500);
    // The recorder lags the sink a little, so this overstates the time it takes to fall silent.
    const std::size_t atStop = recorder.recordedSoFar();
    engine->Stop();
    QTest::qWait(1500);
    const auto afterStop = recorder.samplesSoFar();
    ASSERT_GT(afterStop.size(), atStop);
    const auto tail = audio::nonSilentSpan(std::span<const int16_t>(afterStop).subspan(atStop));
    const double soundingAfterStopMs
        = tail.found ? (tail.last + 1) * 1000.0 / audio::SampleRate : 0;
    std::printf("sounding after the stop: %.1f ms\n", soundingAfterStopMs);
    EXPECT_LT(soundingAfterStopMs, 50.0);

    const std::size_t beforeNext = recorder.recordedSoFar();
    engine->Speak("Again.");
    EXPECT_TRUE(desktop::waitUntil(
        [&] { return audio::isNonSilent(recorder.samplesSince(beforeNext)); }, 10000));
}

} // namespace
