// SPDX-License-Identifier: GPL-3.0-or-later
#include "FliteSpeechEngine.h"
#include "FliteVoice.h"
#include "SampleQueue.h"
#include "SpeechEngineFactory.h"
#include "TextPreparation.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Synthesis is held back while this much audio waits: a pasted megabyte is 35 hours of speech.
constexpr std::size_t MaxQueuedSamples = 2 * flitevoice::SampleRate;
// Below this a sample counts as the voice's leading silence.
constexpr int SilenceThreshold = 64;
// What is kept of a sentence's leading silence: a millisecond at the start of a text, the quiet
// rise into its first sound, so speech starts at once without a click (every millisecond kept
// here is a millisecond between Enter and the voice); a short breath between sentences.
constexpr std::size_t TextLeadIn = flitevoice::SampleRate * 1 / 1000;
constexpr std::size_t SentenceLeadIn = flitevoice::SampleRate * 80 / 1000;

struct Job
{
    QString text;
    int speed;
    int pitch;
    // The queue's generation when the text was spoken: a stop since then cancels it.
    std::uint64_t generation;
    bool intoCalls;
};

// Receives one sentence from Flite: trims its leading silence, then queues it for the output.
// Runs with the Flite lock held, so it never waits.
class SentenceReceiver final : public flitevoice::SampleReceiver
{
public:
    SentenceReceiver(SampleQueue &queue, AudioOutput &output, const Job &job, bool startsText)
        : m_queue(queue)
        , m_output(output)
        , m_generation(job.generation)
        , m_intoCalls(job.intoCalls)
        , m_startsText(startsText)
        , m_keepLeadIn(startsText ? TextLeadIn : SentenceLeadIn)
    { }

    // False ends the sentence: the text was stopped or the instance is ending.
    bool receive(const int16_t *samples, std::size_t count) override
    {
        if (m_inLeadIn) {
            std::size_t i = 0;
            while (i < count && std::abs(samples[i]) < SilenceThreshold)
                ++i;
            m_leadIn.insert(m_leadIn.end(), samples, samples + i);
            if (m_leadIn.size() > m_keepLeadIn)
                m_leadIn.erase(m_leadIn.begin(),
                    m_leadIn.begin() + static_cast<std::ptrdiff_t>(m_leadIn.size() - m_keepLeadIn));
            if (i == count)
                return m_queue.accepts(m_generation);
            m_inLeadIn = false;
            if (!queue(m_leadIn.data(), m_leadIn.size()))
                return false;
            samples += i;
            count -= i;
        }
        return queue(samples, count);
    }

private:
    bool queue(const int16_t *samples, std::size_t count)
    {
        if (count == 0)
            return m_queue.accepts(m_generation);
        const SampleQueue::Push pushed
            = m_queue.push(samples, count, m_startsText, m_generation, m_intoCalls);
        if (pushed == SampleQueue::Push::Refused)
            return false;
        if (pushed == SampleQueue::Push::QueuedIntoEmpty)
            m_output.samplesQueued();
        m_startsText = false;
        return true;
    }

    SampleQueue &m_queue;
    AudioOutput &m_output;
    std::uint64_t m_generation;
    bool m_intoCalls;
    bool m_startsText;
    std::size_t m_keepLeadIn;
    bool m_inLeadIn = true;
    std::vector<int16_t> m_leadIn;
};

void speakJob(SampleQueue &queue, AudioOutput &output, const Job &job)
{
    const flitevoice::Prosody prosody { static_cast<double>(job.pitch),
        flitevoice::stretchFor(job.speed) };
    textprep::SentenceSplitter sentences(textprep::clean(job.text));
    QString sentence;
    bool first = true;
    while (sentences.next(sentence)) {
        if (!queue.waitForRoom(MaxQueuedSamples, job.generation))
            return;
        SentenceReceiver receiver(queue, output, job, first);
        const auto outcome = flitevoice::synthesize(sentence.toUtf8(), prosody, receiver);
        if (outcome == flitevoice::Outcome::Stopped)
            return;
        if (outcome == flitevoice::Outcome::Failed)
            std::fputs("vocalo: the synthesiser failed on a sentence; skipping it\n", stderr);
        first = false;
    }
}

} // namespace

class FliteSpeechEngine::Impl
{
public:
    explicit Impl(const AudioOutputFactory &factory) : m_output(factory(m_audio))
    {
        try {
            m_worker = std::thread([this] { runWorker(); });
        } catch (const std::system_error &) {
            throw std::runtime_error("Vocalo cannot start a speech engine: the system allows no "
                                     "more threads. Close some programs and start Vocalo again.");
        }
    }

    ~Impl()
    {
        {
            std::lock_guard lock(m_jobsMutex);
            m_instanceEnding = true;
            m_jobs.clear();
        }
        m_jobsChanged.notify_all();
        // Ends the sentence being synthesised and wakes a worker waiting for room.
        m_audio.close();
        m_worker.join();
        // The output goes before the queue it reads.
        m_output.reset();
    }

    void speak(QString text, int speed, int pitch, bool intoCalls)
    {
        {
            std::lock_guard lock(m_jobsMutex);
            m_jobs.push_back(
                Job { std::move(text), speed, pitch, m_audio.generation(), intoCalls });
        }
        m_jobsChanged.notify_one();
    }

    void stop()
    {
        {
            std::lock_guard lock(m_jobsMutex);
            m_jobs.clear();
        }
        // Refuses the rest of the sentence being synthesised, then silences what was written.
        m_audio.discardAll();
        m_output->flush();
    }

    bool speaking() const
    {
        {
            std::lock_guard lock(m_jobsMutex);
            if (m_working || !m_jobs.empty())
                return true;
        }
        return m_audio.size() > 0;
    }

    AudioOutput &output() const { return *m_output; }

private:
    void runWorker()
    {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(m_jobsMutex);
                m_jobsChanged.wait(lock, [&] { return m_instanceEnding || !m_jobs.empty(); });
                if (m_instanceEnding)
                    return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
                m_working = true;
            }
            speakJob(m_audio, *m_output, job);
            std::lock_guard lock(m_jobsMutex);
            m_working = false;
        }
    }

    SampleQueue m_audio;
    std::unique_ptr<AudioOutput> m_output;
    mutable std::mutex m_jobsMutex;
    std::condition_variable m_jobsChanged;
    std::deque<Job> m_jobs;
    // A job taken off m_jobs is still being synthesised.
    bool m_working = false;
    bool m_instanceEnding = false;
    std::thread m_worker;
};

FliteSpeechEngine::FliteSpeechEngine(const AudioOutputFactory &outputFactory)
    : m_impl(std::make_unique<Impl>(outputFactory))
{ }

FliteSpeechEngine::~FliteSpeechEngine() = default;

void FliteSpeechEngine::Speak(const QString &text)
{
    speak(text, true);
}

void FliteSpeechEngine::SpeakToDeskOnly(const QString &text)
{
    speak(text, false);
}

void FliteSpeechEngine::speak(const QString &text, bool intoCalls)
{
    const int speed = std::clamp(m_speed.load(std::memory_order_relaxed), MinSpeed, MaxSpeed);
    const int pitch = std::clamp(m_pitch.load(std::memory_order_relaxed), MinPitch, MaxPitch);
    m_impl->speak(text, speed, pitch, intoCalls);
}

void FliteSpeechEngine::SetSpeed(int wordsPerMinute)
{
    if (m_speed.load(std::memory_order_relaxed) != wordsPerMinute)
        m_speed.store(wordsPerMinute, std::memory_order_relaxed);
}

void FliteSpeechEngine::SetPitch(int hertz)
{
    if (m_pitch.load(std::memory_order_relaxed) != hertz)
        m_pitch.store(hertz, std::memory_order_relaxed);
}

void FliteSpeechEngine::Stop()
{
    m_impl->stop();
}

bool FliteSpeechEngine::Speaking() const
{
    return m_impl->speaking();
}

bool FliteSpeechEngine::Heard() const
{
    return m_impl->output().heard();
}

void FliteSpeechEngine::setHeardListener(std::function<void()> changed)
{
    m_impl->output().setHeardListener(std::move(changed));
}

std::unique_ptr<SpeechEngine> createSpeechEngine(const QString &streamName, InCalls inCalls)
{
    return std::make_unique<FliteSpeechEngine>(soundServerOutput(streamName, inCalls));
}

std::unique_ptr<SpeechEngine> createSpeechEngine(const AudioOutputFactory &outputFactory)
{
    return std::make_unique<FliteSpeechEngine>(outputFactory);
}

QString speechEngineDescription()
{
    return flitevoice::description();
}
