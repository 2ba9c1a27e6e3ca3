// SPDX-License-Identifier: GPL-3.0-or-later
// The one Flite voice of the process, used from several threads the way the talking windows and
// the About box use it.
#include "FliteVoice.h"
#include "SpeechEngineFactory.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr double SlowestWordsPerMinute = 50;
// Bounds a hang only: every wait below ends within milliseconds when nothing is wrong.
constexpr auto HangBound = 20s;

// A sentence as long as the splitter ever hands out, of short words spoken at the slowest speed:
// near a minute of audio.
QByteArray longestSentence()
{
    const QStringList numbers { "one", "two", "six", "ten" };
    QStringList words;
    while (words.join(u' ').size() < 290)
        words << numbers.at(words.size() % numbers.size());
    return words.join(u' ').toUtf8() + '.';
}

// Keeps a synthesis in progress: the first samples are held until the test lets them go, so the
// sentence is being synthesised, with the Flite lock held, for as long as the test needs.
class HoldingReceiver final : public flitevoice::SampleReceiver
{
public:
    bool receive(const int16_t *, std::size_t count) override
    {
        std::unique_lock lock(m_mutex);
        m_samples += count;
        if (!m_started) {
            m_started = true;
            m_changed.notify_all();
            m_changed.wait_for(lock, 2 * HangBound, [&] { return m_released; });
        }
        return true;
    }

    bool waitUntilStarted()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, HangBound, [&] { return m_started; });
    }

    void release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

    std::size_t samples()
    {
        std::lock_guard lock(m_mutex);
        return m_samples;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_started = false;
    bool m_released = false;
    std::size_t m_samples = 0;
};

// The About box asks for this text; it must come at once whatever is being spoken.
TEST(FliteVoiceTest, DescriptionDoesNotWaitForASentenceBeingSynthesised)
{
    HoldingReceiver receiver;
    std::atomic<bool> synthesised = false;
    std::future<flitevoice::Outcome> speaking = std::async(std::launch::async, [&] {
        const auto outcome = flitevoice::synthesize(
            longestSentence(), { 85.0, flitevoice::stretchFor(SlowestWordsPerMinute) }, receiver);
        synthesised = true;
        return outcome;
    });
    ASSERT_TRUE(receiver.waitUntilStarted());

    std::future<QString> described = std::async(std::launch::async, speechEngineDescription);
    const bool describedInTime = described.wait_for(HangBound) == std::future_status::ready;
    const bool stillSynthesising = !synthesised;
    receiver.release();

    EXPECT_TRUE(describedInTime) << "the description waited for the sentence being synthesised";
    EXPECT_TRUE(stillSynthesising);
    EXPECT_EQ(described.get(), "Flite 2.2, voice cmu_us_kal16");
    ASSERT_EQ(speaking.get(), flitevoice::Outcome::Finished);
    // It really was a long sentence: near a minute of audio.
    EXPECT_GT(receiver.samples(), 45 * std::size_t(flitevoice::SampleRate));
}

// Several windows speak at once: each gets its own whole sentence, none is cut short by another.
TEST(FliteVoiceTest, SentencesFromSeveralThreadsAreEachSynthesisedWhole)
{
    struct Counting final : flitevoice::SampleReceiver
    {
        bool receive(const int16_t *, std::size_t count) override
        {
            samples += count;
            return true;
        }
        std::size_t samples = 0;
    };
    const QByteArray sentence("The quick brown fox jumps over the lazy dog.");
    Counting alone;
    ASSERT_EQ(flitevoice::synthesize(sentence, {}, alone), flitevoice::Outcome::Finished);

    std::array<Counting, 4> receivers;
    std::vector<std::future<flitevoice::Outcome>> outcomes;
    for (Counting &receiver : receivers)
        outcomes.push_back(std::async(
            std::launch::async, [&] { return flitevoice::synthesize(sentence, {}, receiver); }));
    for (std::size_t i = 0; i < receivers.size(); ++i) {
        ASSERT_EQ(outcomes[i].wait_for(HangBound), std::future_status::ready);
        EXPECT_EQ(outcomes[i].get(), flitevoice::Outcome::Finished);
        EXPECT_EQ(receivers[i].samples, alone.samples);
    }
}

} // namespace
