// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioAnalysis.h"
#include "AudioOutput.h"
#include "FliteSpeechEngine.h"
#include "FliteVoice.h"
#include "SampleQueue.h"
#include "SpeechEngineFactory.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <mutex>

namespace {

using Clock = std::chrono::steady_clock;

// Notes when the first audible sample reaches the output.
struct FirstSound
{
    std::mutex mutex;
    std::condition_variable heard;
    bool armed = false;
    Clock::time_point at;
    std::size_t samples = 0;
};

// Takes every sample as soon as it is queued, on the synthesis worker itself, so the figure is
// the engine's own part of the delay.
class FirstSoundOutput final : public AudioOutput
{
public:
    FirstSoundOutput(SampleQueue &queue, std::shared_ptr<FirstSound> state)
        : m_queue(queue), m_state(std::move(state))
    { }

    void samplesQueued() override
    {
        int16_t samples[4096];
        while (const std::size_t count = m_queue.take(samples, std::size(samples)))
            heard(samples, count);
    }
    void flush() override { }

private:
    void heard(const int16_t *samples, std::size_t count)
    {
        std::lock_guard lock(m_state->mutex);
        m_state->samples += count;
        if (!m_state->armed)
            return;
        for (std::size_t i = 0; i < count; ++i) {
            if (audio::isAudible(samples[i])) {
                m_state->at = Clock::now();
                m_state->armed = false;
                m_state->heard.notify_all();
                return;
            }
        }
    }

    SampleQueue &m_queue;
    std::shared_ptr<FirstSound> m_state;
};

AudioOutputFactory firstSoundInto(const std::shared_ptr<FirstSound> &sound)
{
    return [sound](SampleQueue &queue) { return std::make_unique<FirstSoundOutput>(queue, sound); };
}

// The main window's timer writes the unchanged scroll-bar value 4000 times a second.
void BM_SetSpeedUnchanged(benchmark::State &state)
{
    auto sound = std::make_shared<FirstSound>();
    std::unique_ptr<SpeechEngine> engine = createSpeechEngine(firstSoundInto(sound));
    SpeechEngine *ds = engine.get();
    benchmark::DoNotOptimize(ds);
    for (auto _ : state) {
        ds->SetSpeed(150);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SetSpeedUnchanged);

// For comparison within the same run: a write that changes the value every time.
void BM_SetSpeedChanging(benchmark::State &state)
{
    auto sound = std::make_shared<FirstSound>();
    std::unique_ptr<SpeechEngine> engine = createSpeechEngine(firstSoundInto(sound));
    SpeechEngine *ds = engine.get();
    benchmark::DoNotOptimize(ds);
    int speed = 150;
    for (auto _ : state) {
        ds->SetSpeed(speed);
        speed ^= 1;
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SetSpeedChanging);

// From Speak on the caller's thread to the first audible sample handed to the output.
void BM_SpeakToFirstSound(benchmark::State &state)
{
    auto sound = std::make_shared<FirstSound>();
    std::unique_ptr<SpeechEngine> engine = createSpeechEngine(firstSoundInto(sound));
    for (auto _ : state) {
        std::unique_lock lock(sound->mutex);
        sound->armed = true;
        const auto start = Clock::now();
        lock.unlock();
        engine->Speak(QStringLiteral("Hello there."));
        lock.lock();
        sound->heard.wait(lock, [&] { return !sound->armed; });
        state.SetIterationTime(std::chrono::duration<double>(sound->at - start).count());
        lock.unlock();
        // Let the rest of the line drain before the next Speak.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
BENCHMARK(BM_SpeakToFirstSound)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(100);

class CountingReceiver final : public flitevoice::SampleReceiver
{
public:
    bool receive(const int16_t *, std::size_t count) override
    {
        samples += count;
        return true;
    }
    std::size_t samples = 0;
};

// Synthesis alone, sentence by sentence as the engine does it; the counter is how many seconds
// of speech one second of synthesis makes.
void BM_SynthesisRealTimeFactor(benchmark::State &state)
{
    const QByteArray sentences[] = {
        "When the sunlight strikes raindrops in the air, they act as a prism and form a rainbow.",
        "The rainbow is a division of white light into many beautiful colors.",
        "These take the shape of a long round arch, with its path high above, and its two ends "
        "apparently beyond the horizon.",
        "There is, according to legend, a boiling pot of gold at one end.",
        "People look, but no one ever finds it.",
    };
    std::size_t samples = 0;
    for (auto _ : state) {
        CountingReceiver receiver;
        for (const QByteArray &sentence : sentences)
            flitevoice::synthesize(sentence, { 100.0, 1.0 }, receiver);
        samples += receiver.samples;
    }
    state.counters["realtime_factor"]
        = benchmark::Counter(double(samples) / flitevoice::SampleRate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SynthesisRealTimeFactor)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
