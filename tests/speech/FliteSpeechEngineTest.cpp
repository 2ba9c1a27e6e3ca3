// SPDX-License-Identifier: GPL-3.0-or-later
// The engine heard through a collecting output: real Flite samples, no sound server.
#include "FliteSpeechEngine.h"
#include "AudioAnalysis.h"
#include "CollectingAudioOutput.h"
#include "SpeechEngineFactory.h"
#include "SpeechListening.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <thread>

#include <sys/resource.h>

using namespace std::chrono_literals;

namespace {

const QString Sentence = QStringLiteral("The quick brown fox jumps over the lazy dog.");

std::vector<int16_t> concat(std::vector<int16_t> a, const std::vector<int16_t> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::span<const int16_t> part(const std::vector<int16_t> &s, std::size_t from, std::size_t count)
{
    return std::span<const int16_t>(s).subspan(from, count);
}

TEST(FliteSpeechEngineTest, DescribesTheRealEngineAndVoice)
{
    EXPECT_EQ(speechEngineDescription(), "Flite 2.2, voice cmu_us_kal16");
}

class PitchTest : public testing::TestWithParam<int>
{ };

TEST_P(PitchTest, MedianF0FollowsThePitch)
{
    const int pitch = GetParam();
    const auto samples = listenTo(Sentence, 150, pitch);
    ASSERT_TRUE(audio::isNonSilent(samples));
    EXPECT_NEAR(audio::medianF0(samples), pitch, pitch * 0.10);
}

INSTANTIATE_TEST_SUITE_P(Rows, PitchTest, testing::Values(50, 85, 150, 400));

// The voice opens every utterance with a quarter second of silence; a text must start at once.
TEST(PitchTest, SpeechStartsWithoutTheVoicesLeadingSilence)
{
    const auto samples = listenTo(Sentence, 150, 100);
    ASSERT_TRUE(audio::isNonSilent(samples));
    // Untrimmed, the first loud sample comes after 0.25 s; trimmed, after the quiet "th" only.
    EXPECT_LT(audio::nonSilentSpan(samples).startSeconds(), 0.1);
}

TEST(SpeedTest, DurationScalesInverselyWithSpeed)
{
    const double slow = audio::nonSilentSpan(listenTo(Sentence, 50, 100)).seconds();
    const double fast = audio::nonSilentSpan(listenTo(Sentence, 250, 100)).seconds();
    ASSERT_GT(fast, 0.3);
    EXPECT_NEAR(slow / fast, 5.0, 0.5);
}

// The words-per-minute constant of the voice, checked against prose read the way the engine
// reads it: sentence by sentence, pauses included.
TEST(SpeedTest, SpeaksAboutTheWordsPerMinuteAsked)
{
    const QString prose = QStringLiteral(
        "When the sunlight strikes raindrops in the air, they act as a prism and form a rainbow. "
        "The rainbow is a division of white light into many beautiful colors. These take the "
        "shape of a long round arch, with its path high above, and its two ends apparently "
        "beyond the horizon. There is, according to legend, a boiling pot of gold at one end. "
        "People look, but no one ever finds it.");
    const double words = prose.split(u' ', Qt::SkipEmptyParts).size();
    for (int speed : { 100, 200 }) {
        const double seconds = audio::nonSilentSpan(listenTo(prose, speed, 100)).seconds();
        EXPECT_NEAR(words / seconds * 60.0, speed, speed * 0.12) << "speed " << speed;
    }
}

TEST(SpeedTest, SettingsApplyToSpeechThatStartsAfterwards)
{
    auto collected = std::make_shared<Collected>();
    FliteSpeechEngine engine(collectInto(collected));
    engine.SetPitch(90);
    engine.Speak(Sentence);
    engine.SetPitch(250); // while the first text may still be synthesising
    engine.Speak(Sentence);
    ASSERT_TRUE(collected->waitUntilQuiet(300ms));
    const auto first = listenTo(Sentence, FliteSpeechEngine::DefaultSpeed, 90);
    const auto second = listenTo(Sentence, FliteSpeechEngine::DefaultSpeed, 250);
    const auto heard = collected->snapshot();
    ASSERT_EQ(heard, concat(first, second));
    EXPECT_NEAR(audio::medianF0(part(heard, 0, first.size())), 90, 9);
    EXPECT_NEAR(audio::medianF0(part(heard, first.size(), second.size())), 250, 25);
}

struct ClampRow
{
    const char *name;
    int speed;
    int pitch;
    int sameAsSpeed;
    int sameAsPitch;
};

class ClampTest : public testing::TestWithParam<ClampRow>
{ };

TEST_P(ClampTest, OutOfRangeValuesSpeakAtTheNearestTheVoiceCanDo)
{
    const ClampRow &row = GetParam();
    const auto heard = listenTo("Range.", row.speed, row.pitch);
    ASSERT_TRUE(audio::isNonSilent(heard));
    EXPECT_EQ(heard, listenTo("Range.", row.sameAsSpeed, row.sameAsPitch));
}

constexpr int MinS = FliteSpeechEngine::MinSpeed, MaxS = FliteSpeechEngine::MaxSpeed;
constexpr int MinP = FliteSpeechEngine::MinPitch, MaxP = FliteSpeechEngine::MaxPitch;
INSTANTIATE_TEST_SUITE_P(Rows, ClampTest,
    testing::Values(ClampRow { "negative_speed", -5, 100, MinS, 100 },
        ClampRow { "zero_speed", 0, 100, MinS, 100 },
        ClampRow { "huge_speed", 32767, 100, MaxS, 100 },
        ClampRow { "negative_pitch", 150, -32768, 150, MinP },
        ClampRow { "huge_pitch", 150, 100000, 150, MaxP }),
    [](const testing::TestParamInfo<ClampRow> &info) { return std::string(info.param.name); });

TEST(QueueTest, TwoSpeaksInARowBothPlayInOrderInFull)
{
    auto collected = std::make_shared<Collected>();
    FliteSpeechEngine engine(collectInto(collected));
    engine.SetSpeed(150);
    engine.SetPitch(120);
    engine.Speak("First line.");
    engine.Speak("And the second one.");
    ASSERT_TRUE(collected->waitUntilQuiet(300ms));
    EXPECT_EQ(collected->snapshot(),
        concat(listenTo("First line.", 150, 120), listenTo("And the second one.", 150, 120)));
}

TEST(QueueTest, ASpeakDuringSpeechIsNotCut)
{
    auto collected = std::make_shared<Collected>();
    collected->options.samplesPerSecond = audio::SampleRate; // plays in real time
    FliteSpeechEngine engine(collectInto(collected));
    engine.SetSpeed(200);
    engine.Speak(Sentence);
    ASSERT_TRUE(collected->waitFor([](const auto &s) { return s.size() > audio::SampleRate / 2; }));
    engine.Speak("Interrupting.");
    ASSERT_TRUE(collected->waitUntilQuiet(500ms));
    EXPECT_EQ(collected->snapshot(),
        concat(listenTo(Sentence, 200, FliteSpeechEngine::DefaultPitch),
            listenTo("Interrupting.", 200, FliteSpeechEngine::DefaultPitch)));
}

TEST(QueueTest, AnEmptyTextIsSilenceAndDisturbsNothing)
{
    auto collected = std::make_shared<Collected>();
    FliteSpeechEngine engine(collectInto(collected));
    engine.Speak(QString());
    engine.Speak("");
    engine.Speak("After nothing.");
    ASSERT_TRUE(collected->waitUntilQuiet(300ms));
    EXPECT_EQ(collected->snapshot(),
        listenTo(
            "After nothing.", FliteSpeechEngine::DefaultSpeed, FliteSpeechEngine::DefaultPitch));
}

// Whatever looks like a command is read out or ignored, never obeyed: the text sounds as its
// literal reading does and the next text is unchanged.
struct LiteralRow
{
    const char *name;
    QString text;
    QString readAs; // what the text must sound exactly like
};

class LiteralTextTest : public testing::TestWithParam<LiteralRow>
{ };

TEST_P(LiteralTextTest, IsSpokenLiterallyAndLeavesTheNextTextAlone)
{
    const LiteralRow &row = GetParam();
    auto collected = std::make_shared<Collected>();
    FliteSpeechEngine engine(collectInto(collected));
    engine.SetSpeed(160);
    engine.SetPitch(110);
    engine.Speak(row.text);
    engine.Speak(Sentence);
    ASSERT_TRUE(collected->waitUntilQuiet(300ms));
    const auto literal = listenTo(row.readAs, 160, 110);
    const auto next = listenTo(Sentence, 160, 110);
    const auto heard = collected->snapshot();
    EXPECT_EQ(heard, concat(literal, next));
    EXPECT_NEAR(audio::medianF0(heard), 110, 11);
}

INSTANTIATE_TEST_SUITE_P(Rows, LiteralTextTest,
    testing::Values(LiteralRow { "ssml_pitch", "<pitch absmiddle=\"10\"> Hello",
                        "<pitch absmiddle=\"10\"> Hello" },
        LiteralRow { "ssml_speak", "<speak><prosody rate=\"x-slow\">slow</prosody></speak>",
            "<speak><prosody rate=\"x-slow\">slow</prosody></speak>" },
        LiteralRow {
            "embedded_command", "\\Pit=300\\ \\Spd=10\\ words", "\\Pit=300\\ \\Spd=10\\ words" },
        LiteralRow { "control_bytes", QString::fromLatin1("\x01Hello\x1b[31m\x07 there\x7f."),
            " Hello [31m  there ." },
        LiteralRow { "newlines_and_tabs", "Line one\nline\ttwo\r\n", "Line one line two" }),
    [](const testing::TestParamInfo<LiteralRow> &info) { return std::string(info.param.name); });

// Random bytes decoded as UTF-8 and random code points: no crash, and the engine still speaks the
// next text exactly as it should.
TEST(LiteralTextTest, SurvivesArbitraryInput)
{
    auto collected = std::make_shared<Collected>();
    FliteSpeechEngine engine(collectInto(collected));
    QRandomGenerator random(1234);
    for (int i = 0; i < 40; ++i) {
        QByteArray bytes(int(random.bounded(1, 200)), Qt::Uninitialized);
        for (char &b : bytes)
            b = char(random.bounded(256));
        engine.Speak(QString::fromUtf8(bytes));
        QString text;
        for (int n = int(random.bounded(1, 60)); n > 0; --n)
            text += QChar(char16_t(random.bounded(0x20, 0x10000)));
        engine.Speak(text);
    }
    ASSERT_TRUE(collected->waitUntilQuiet(1000ms, 120s));
    const std::size_t before = collected->count();
    engine.Speak(Sentence);
    ASSERT_TRUE(collected->waitFor([&](const auto &s) { return s.size() > before; }));
    ASSERT_TRUE(collected->waitUntilQuiet(300ms));
    const auto heard = collected->snapshot();
    EXPECT_EQ(std::vector<int16_t>(heard.begin() + std::ptrdiff_t(before), heard.end()),
        listenTo(Sentence, FliteSpeechEngine::DefaultSpeed, FliteSpeechEngine::DefaultPitch));
}

long residentKilobytes()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

struct LongTextRow
{
    const char *name;
    QString text;
};

class LongTextTest : public testing::TestWithParam<LongTextRow>
{ };

// Played in real time, as a device would: speech starts while the rest waits unsynthesised. Fully
// synthesised, a megabyte of text is gigabytes of audio.
TEST_P(LongTextTest, StartsSoonAndKeepsMemoryBounded)
{
    auto collected = std::make_shared<Collected>();
    collected->options.samplesPerSecond = audio::SampleRate;
    FliteSpeechEngine engine(collectInto(collected));
    const long rssBefore = residentKilobytes();
    engine.Speak(GetParam().text);
    // Generous: this catches a stall (seconds of synthesis up front), not a slow machine.
    EXPECT_TRUE(collected->waitFor([](const auto &s) { return audio::isNonSilent(s); }, 3000ms));
    std::this_thread::sleep_for(2s);
    const long grownKb = residentKilobytes() - rssBefore;
    EXPECT_LT(grownKb, 40 * 1024) << "resident memory grew by " << grownKb << " kB";
}

QString megabyteOfProse()
{
    QString text;
    while (text.size() < 1024 * 1024)
        text += Sentence + u' ';
    return text;
}

INSTANTIATE_TEST_SUITE_P(Rows, LongTextTest,
    testing::Values(LongTextRow { "megabyte_of_prose", megabyteOfProse() },
        LongTextRow { "one_huge_token", QString(100000, u'k') }),
    [](const testing::TestParamInfo<LongTextRow> &info) { return std::string(info.param.name); });

TEST(LifetimeTest, DestroyingAnInstanceMidSpeechStopsIt)
{
    auto collected = std::make_shared<Collected>();
    collected->options.samplesPerSecond = audio::SampleRate;
    {
        FliteSpeechEngine engine(collectInto(collected));
        engine.Speak(megabyteOfProse());
        ASSERT_TRUE(collected->waitFor([](const auto &s) { return s.size() > 1000; }));
    }
    const std::size_t atEnd = collected->count();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(collected->count(), atEnd);
}

// What played from sample `from` on, once something new has played and then fallen quiet.
std::vector<int16_t> heardFrom(Collected &collected, std::size_t from)
{
    EXPECT_TRUE(collected.waitFor([&](const auto &s) { return s.size() > from; }));
    EXPECT_TRUE(collected.waitUntilQuiet(300ms));
    const auto heard = collected.snapshot();
    return { heard.begin() + static_cast<std::ptrdiff_t>(std::min(from, heard.size())),
        heard.end() };
}

// Stop silences the instance at once, drops what was queued behind, and leaves it ready to speak
// again; another instance speaking meanwhile plays on.
TEST(StopTest, SilencesAtOnceDropsTheQueueAndSpeaksAgain)
{
    auto stopped = std::make_shared<Collected>();
    auto other = std::make_shared<Collected>();
    stopped->options.samplesPerSecond = other->options.samplesPerSecond = audio::SampleRate;
    FliteSpeechEngine engine(collectInto(stopped));
    FliteSpeechEngine bystander(collectInto(other));
    engine.Speak(megabyteOfProse());
    engine.Speak("Queued behind it.");
    bystander.Speak(Sentence);
    ASSERT_TRUE(stopped->waitFor([](const auto &s) { return s.size() > 4000; }));

    engine.Stop();
    const std::size_t atStop = stopped->count();
    const std::size_t otherAtStop = other->count();
    std::this_thread::sleep_for(300ms);
    // At most what the output had already taken when the stop came: 40 ms of it.
    EXPECT_LE(stopped->count(), atStop + audio::SampleRate / 25);
    EXPECT_EQ(stopped->flushes, 1);
    EXPECT_GT(other->count(), otherAtStop + audio::SampleRate / 10) << "the other instance stopped";

    const std::size_t beforeNext = stopped->count();
    engine.Speak("Still here.");
    EXPECT_EQ(heardFrom(*stopped, beforeNext),
        listenTo("Still here.", FliteSpeechEngine::DefaultSpeed, FliteSpeechEngine::DefaultPitch))
        << "the queued text or the rest of the stopped one was heard after the stop";
}

// A stop that comes while a sentence is being synthesised, or before the worker has even taken
// the text, lets nothing of it through; a stop with nothing playing changes nothing.
TEST(StopTest, NothingOfAStoppedTextSlipsThrough)
{
    auto collected = std::make_shared<Collected>();
    FliteSpeechEngine engine(collectInto(collected));
    engine.Stop();
    for (int i = 0; i < 20; ++i) {
        engine.Speak(megabyteOfProse());
        if (i % 2)
            std::this_thread::sleep_for(std::chrono::microseconds(300 * i));
        engine.Stop();
        std::this_thread::sleep_for(5ms);
    }
    const std::size_t before = collected->count();
    engine.Speak("Only this.");
    EXPECT_EQ(heardFrom(*collected, before),
        listenTo("Only this.", FliteSpeechEngine::DefaultSpeed, FliteSpeechEngine::DefaultPitch));
}

// Lines as fast as a keyboard can send them: every one is spoken, in order, and the queue of
// texts waiting costs little memory.
TEST(QueueTest, AFloodOfLinesIsSpokenInFullInOrder)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr int Lines = 1000;
#else
    constexpr int Lines = 10000;
#endif
    const std::array<QString, 2> texts { QStringLiteral("Yes."),
        QStringLiteral("No, not that one.") };
    const std::array<std::size_t, 2> lengths { listenTo(texts[0], 180, 95).size(),
        listenTo(texts[1], 180, 95).size() };
    ASSERT_NE(lengths[0], lengths[1]);

    auto collected = std::make_shared<Collected>();
    collected->options.keepSamples = false;
    FliteSpeechEngine engine(collectInto(collected));
    engine.SetSpeed(180);
    engine.SetPitch(95);
    const long rssBefore = residentKilobytes();
    for (int i = 0; i < Lines; ++i)
        engine.Speak(texts[i % 3 == 0 ? 1 : 0]);
    const long grownKb = residentKilobytes() - rssBefore;
    const std::size_t lastLength = lengths[(Lines - 1) % 3 == 0 ? 1 : 0];
    // Until the last line has played in full, or something went wrong on the way.
    collected->waitFor(
        [&](const auto &) {
            const auto &heard = collected->textLengths;
            return heard.size() > std::size_t(Lines)
                || (heard.size() == std::size_t(Lines) && heard.back() >= lastLength);
        },
        600s);

    std::lock_guard lock(collected->mutex);
    ASSERT_EQ(collected->textLengths.size(), std::size_t(Lines));
    for (int i = 0; i < Lines; ++i)
        ASSERT_EQ(collected->textLengths[i], lengths[i % 3 == 0 ? 1 : 0]) << "line " << i;
    EXPECT_LT(grownKb, 10 * 1024) << "queued lines took " << grownKb << " kB";
}

// An output that plays nothing and starts no thread of its own.
class DeafOutput final : public AudioOutput
{
public:
    void samplesQueued() override { }
    void flush() override { }
};

// Out of threads (here: no address space left for a thread's stack), an instance reports why it
// cannot start, as an error the program shows, instead of aborting the process.
TEST(ResourceTest, WithoutThreadsTheInstanceReportsAClearError)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers reserve address space of their own";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            rlimit limit {};
            getrlimit(RLIMIT_AS, &limit);
            QFile status("/proc/self/status");
            status.open(QIODevice::ReadOnly);
            const QByteArray text = status.readAll();
            const long vmKb
                = text.mid(text.indexOf("VmSize:") + 7).trimmed().split(' ')[0].toLong();
            limit.rlim_cur = rlim_t(vmKb + 1024) * 1024;
            setrlimit(RLIMIT_AS, &limit);
            try {
                FliteSpeechEngine engine(
                    [](SampleQueue &) { return std::make_unique<DeafOutput>(); });
            } catch (const std::runtime_error &error) {
                std::fputs(error.what(), stderr);
                std::_Exit(3);
            }
            std::_Exit(0);
        },
        testing::ExitedWithCode(3),
        "cannot start a speech engine: the system allows no more threads");
}

// Three instances at once, as the three talking windows may be: each hears exactly what it would
// have heard alone. Under ThreadSanitizer this also checks that Flite is only entered under its
// lock.
TEST(ConcurrencyTest, ThreeInstancesSpeakAtOnceIndependently)
{
    const std::array<int, 3> pitches { 70, 140, 280 };
    const std::array<QString, 3> texts { QStringLiteral("Intro window speaking. Hello."),
        QStringLiteral("Main window here, with a line."),
        QStringLiteral("Quick phrase number three.") };
    std::array<std::shared_ptr<Collected>, 3> collected;
    std::array<std::unique_ptr<FliteSpeechEngine>, 3> engines;
    for (int i = 0; i < 3; ++i) {
        collected[i] = std::make_shared<Collected>();
        collected[i]->options.samplesPerSecond = audio::SampleRate * 4;
        engines[i] = std::make_unique<FliteSpeechEngine>(collectInto(collected[i]));
        engines[i]->SetPitch(pitches[i]);
    }
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 3; ++i) {
            engines[i]->SetSpeed(180); // the timer's unchanged writes, in between
            engines[i]->Speak(texts[i]);
        }
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(collected[i]->waitUntilQuiet(500ms, 60s));
    for (int i = 0; i < 3; ++i) {
        const auto alone = listenTo(texts[i], 180, pitches[i]);
        EXPECT_EQ(collected[i]->snapshot(), concat(concat(alone, alone), alone))
            << "instance " << i;
    }
}

} // namespace
