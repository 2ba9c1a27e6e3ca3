// SPDX-License-Identifier: GPL-3.0-or-later
#include "FliteSpeechEngine.h"
#include "FliteVoice.h"
#include "SampleQueue.h"
#include "SpeechEngineFactory.h"
#include "TextPreparation.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Synthesis is held back while this much audio waits: a pasted megabyte is 35 hours of speech.
constexpr std::size_t MaxQueuedSamples = 2 * flitevoice::SampleRate;
// Below this a sample counts as the voice's leading silence.
constexpr int SilenceThreshold = 64;
// What is kept of a sentence's leading silence: a few milliseconds at the start of a text, so
// speech starts at once without clipping its first sound; a short breath between sentences.
constexpr std::size_t TextLeadIn = flitevoice::SampleRate * 5 / 1000;
constexpr std::size_t SentenceLeadIn = flitevoice::SampleRate * 80 / 1000;
constexpr auto PumpInterval = 10ms;

struct Job
{
    QString text;
    int speed;
    int pitch;
};

// What the window's side, the worker and the audio thread share. Held by shared pointer: an
// audio thread stuck in a hanging sound server may outlive its engine.
struct EngineState
{
    std::mutex jobsMutex;
    std::condition_variable jobsChanged;
    std::deque<Job> jobs;
    bool stopping = false;

    std::atomic<bool> stop { false };
    SampleQueue audio;

    // The audio thread's event loop, woken when audio arrives in an empty queue. Waking a
    // dispatcher allocates nothing and touches no object of the other thread.
    std::mutex wakeMutex;
    QAbstractEventDispatcher *audioLoop = nullptr;
    std::atomic<bool> wakeRequested { false };

    // Set last thing by the audio thread, so the engine can wait for it with a time limit.
    std::mutex audioThreadMutex;
    std::condition_variable audioThreadEnded;
    bool audioThreadDone = false;

    void wakePlayer();
};

std::atomic<bool> g_reportedNoDevice { false };

void reportNoDevice()
{
    if (!g_reportedNoDevice.exchange(true))
        std::fputs("vocalo: no audio output; speech is silent until a sound device is available\n",
            stderr);
}

// Lives on the instance's audio thread: moves samples from the queue into the output and picks
// the output: the real one from the start, a null one when that fails or dies, the real one
// again at the next text.
class AudioPlayer
{
public:
    AudioPlayer(EngineState &state, AudioOutputFactory factory)
        : m_state(state), m_factory(std::move(factory)), m_scratch(flitevoice::SampleRate / 4)
    { }

    void pump()
    {
        while (!m_state.stop.load(std::memory_order_relaxed)) {
            if (m_output && m_output->failed())
                fallBack();
            if (m_state.audio.nextStartsText() ? (!m_output || m_onFallback) : !m_output) {
                if (m_state.audio.size() == 0)
                    return;
                openReal();
            }
            const std::size_t room = std::min(m_output->writableSamples(), m_scratch.size());
            if (room == 0)
                return;
            const std::size_t n = m_state.audio.take(m_scratch.data(), room);
            if (n == 0)
                return;
            m_output->write(m_scratch.data(), n);
        }
    }

    // Opening a device takes a while; done once up front, the first text is not kept waiting.
    void openAtStart() { openReal(); }

private:
    void openReal()
    {
        std::unique_ptr<AudioOutput> output = m_factory ? m_factory() : nullptr;
        if (output && output->open()) {
            m_output = std::move(output);
            m_onFallback = false;
            g_reportedNoDevice.store(false);
            return;
        }
        fallBack();
    }

    void fallBack()
    {
        reportNoDevice();
        m_output = makeNullAudioOutput();
        m_output->open();
        m_onFallback = true;
    }

    EngineState &m_state;
    AudioOutputFactory m_factory;
    std::unique_ptr<AudioOutput> m_output;
    bool m_onFallback = false;
    std::vector<int16_t> m_scratch;
};

void EngineState::wakePlayer()
{
    wakeRequested.store(true);
    std::lock_guard lock(wakeMutex);
    if (audioLoop)
        audioLoop->wakeUp();
}

// QAudioSink is a QObject that needs an event loop on its thread; this thread is that loop, and it
// is the only place where a device is opened, so a hanging sound server never blocks a window.
// A plain std::thread rather than a QThread: the engine can leave it behind (detach) when a
// server hangs, and it stops and ends through synchronisation ThreadSanitizer can see.
void runAudioLoop(std::shared_ptr<EngineState> state, AudioOutputFactory factory)
{
    {
        QEventLoop loop;
        AudioPlayer player(*state, std::move(factory));
        QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
        // The timer tops the device up while audio waits and stops when the queue runs dry, so
        // an idle window costs no wake-ups; audio arriving in an empty queue wakes the loop.
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(PumpInterval);
        QObject::connect(&timer, &QTimer::timeout, &timer, [&] {
            player.pump();
            if (state->audio.size() == 0)
                timer.stop();
        });
        QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, dispatcher, [&] {
            if (state->stop.load()) {
                loop.quit();
            } else if (state->wakeRequested.exchange(false)) {
                if (!timer.isActive())
                    timer.start();
                player.pump();
            }
        });
        {
            std::lock_guard lock(state->wakeMutex);
            state->audioLoop = dispatcher;
        }
        player.openAtStart();
        // Audio that arrived before the loop could be woken.
        timer.start();
        if (!state->stop.load())
            loop.exec();
        {
            std::lock_guard lock(state->wakeMutex);
            state->audioLoop = nullptr;
        }
        QObject::disconnect(dispatcher, &QAbstractEventDispatcher::awake, dispatcher, nullptr);
    }
    std::lock_guard lock(state->audioThreadMutex);
    state->audioThreadDone = true;
    state->audioThreadEnded.notify_all();
}

// Receives one sentence from Flite: trims its leading silence, then queues it for the player.
// Runs with the Flite lock held, so it never waits.
class SentenceReceiver final : public flitevoice::SampleReceiver
{
public:
    SentenceReceiver(EngineState &state, bool startsText)
        : m_state(state)
        , m_startsText(startsText)
        , m_keepLeadIn(startsText ? TextLeadIn : SentenceLeadIn)
    { }

    bool receive(const int16_t *samples, std::size_t count) override
    {
        if (m_state.stop.load(std::memory_order_relaxed))
            return false;
        if (m_inLeadIn) {
            std::size_t i = 0;
            while (i < count && std::abs(samples[i]) < SilenceThreshold)
                ++i;
            m_leadIn.insert(m_leadIn.end(), samples, samples + i);
            if (m_leadIn.size() > m_keepLeadIn)
                m_leadIn.erase(m_leadIn.begin(),
                    m_leadIn.begin() + static_cast<std::ptrdiff_t>(m_leadIn.size() - m_keepLeadIn));
            if (i == count)
                return true;
            m_inLeadIn = false;
            queue(m_leadIn.data(), m_leadIn.size());
            samples += i;
            count -= i;
        }
        queue(samples, count);
        return true;
    }

private:
    void queue(const int16_t *samples, std::size_t count)
    {
        if (count == 0)
            return;
        if (m_state.audio.push(samples, count, m_startsText))
            m_state.wakePlayer();
        m_startsText = false;
    }

    EngineState &m_state;
    bool m_startsText;
    std::size_t m_keepLeadIn;
    bool m_inLeadIn = true;
    std::vector<int16_t> m_leadIn;
};

void speakJob(EngineState &state, const Job &job)
{
    const flitevoice::Prosody prosody { static_cast<double>(job.pitch),
        flitevoice::WordsPerMinuteAtStretchOne / job.speed };
    textprep::SentenceSplitter sentences(textprep::clean(job.text));
    QString sentence;
    bool first = true;
    while (sentences.next(sentence)) {
        if (!state.audio.waitForRoom(MaxQueuedSamples))
            return;
        SentenceReceiver receiver(state, first);
        const auto outcome = flitevoice::synthesize(sentence.toUtf8(), prosody, receiver);
        if (outcome == flitevoice::Outcome::Stopped)
            return;
        if (outcome == flitevoice::Outcome::Failed)
            std::fputs("vocalo: the synthesiser failed on a sentence; skipping it\n", stderr);
        first = false;
    }
}

void runWorker(std::shared_ptr<EngineState> state)
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(state->jobsMutex);
            state->jobsChanged.wait(lock, [&] { return state->stopping || !state->jobs.empty(); });
            if (state->stopping)
                return;
            job = std::move(state->jobs.front());
            state->jobs.pop_front();
        }
        speakJob(*state, job);
    }
}

} // namespace

class FliteSpeechEngine::Impl
{
public:
    explicit Impl(AudioOutputFactory factory)
        : m_state(std::make_shared<EngineState>())
        , m_audioThread(runAudioLoop, m_state, std::move(factory))
        , m_worker(runWorker, m_state)
    { }

    ~Impl()
    {
        m_state->stop.store(true);
        {
            std::lock_guard lock(m_state->jobsMutex);
            m_state->stopping = true;
        }
        m_state->jobsChanged.notify_all();
        m_state->audio.stop();
        m_worker.join();

        // A sound server that hangs can hold the audio thread inside the device for many
        // seconds. Leave it behind rather than hang the window that is closing: it holds the
        // state it still touches and ends by itself.
        m_state->wakePlayer();
        bool ended = false;
        {
            std::unique_lock lock(m_state->audioThreadMutex);
            ended = m_state->audioThreadEnded.wait_for(
                lock, 500ms, [&] { return m_state->audioThreadDone; });
        }
        if (ended)
            m_audioThread.join();
        else
            m_audioThread.detach();
    }

    void speak(Job job)
    {
        {
            std::lock_guard lock(m_state->jobsMutex);
            m_state->jobs.push_back(std::move(job));
        }
        m_state->jobsChanged.notify_one();
    }

private:
    std::shared_ptr<EngineState> m_state;
    std::thread m_audioThread;
    std::thread m_worker;
};

FliteSpeechEngine::FliteSpeechEngine(AudioOutputFactory outputFactory)
    : m_impl(std::make_unique<Impl>(std::move(outputFactory)))
{ }

FliteSpeechEngine::~FliteSpeechEngine() = default;

void FliteSpeechEngine::Speak(const QString &text)
{
    const int speed = std::clamp(m_speed.load(std::memory_order_relaxed), MinSpeed, MaxSpeed);
    const int pitch = std::clamp(m_pitch.load(std::memory_order_relaxed), MinPitch, MaxPitch);
    m_impl->speak(Job { text, speed, pitch });
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

std::unique_ptr<SpeechEngine> createSpeechEngine()
{
    return std::make_unique<FliteSpeechEngine>(makeDeviceAudioOutput);
}

std::unique_ptr<SpeechEngine> createSpeechEngine(AudioOutputFactory outputFactory)
{
    return std::make_unique<FliteSpeechEngine>(std::move(outputFactory));
}

QString speechEngineDescription()
{
    return flitevoice::description();
}
