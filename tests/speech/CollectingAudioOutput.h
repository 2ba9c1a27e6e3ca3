// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AudioOutput.h"
#include "SampleQueue.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// An output for tests: keeps every sample an instance would have played, so a test can listen
// without a sound server. It reads the queue on a thread of its own, as a real output does, at
// once or at a given rate.
struct Collected
{
    struct Options
    {
        // 0 takes everything at once; otherwise samples per second.
        double samplesPerSecond = 0;
        // Off: only the texts' lengths are kept, for floods of texts.
        bool keepSamples = true;
    };

    Options options;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::vector<int16_t> samples;
    // How many samples each text played, in the order they began.
    std::vector<std::size_t> textLengths;
    int flushes = 0;
    std::chrono::steady_clock::time_point lastWrite;

    std::vector<int16_t> snapshot() const
    {
        std::lock_guard lock(mutex);
        return samples;
    }
    std::size_t count() const
    {
        std::lock_guard lock(mutex);
        return samples.size();
    }

    // Waits until something has played and then nothing more for `quiet`; false on time-out.
    bool waitUntilQuiet(std::chrono::milliseconds quiet = std::chrono::milliseconds(400),
        std::chrono::milliseconds timeout = std::chrono::seconds(30))
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::unique_lock lock(mutex);
        for (;;) {
            const auto now = std::chrono::steady_clock::now();
            if (!samples.empty() && now - lastWrite >= quiet)
                return true;
            if (now >= deadline)
                return false;
            changed.wait_for(lock, std::chrono::milliseconds(20));
        }
    }

    template <class Predicate>
    bool waitFor(Predicate predicate, std::chrono::milliseconds timeout = std::chrono::seconds(30))
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, timeout, [&] { return predicate(samples); });
    }
};

class CollectingAudioOutput final : public AudioOutput
{
public:
    CollectingAudioOutput(SampleQueue &queue, std::shared_ptr<Collected> collected)
        : m_queue(queue), m_collected(std::move(collected)), m_reader([this] { read(); })
    { }

    ~CollectingAudioOutput() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_ending = true;
        }
        m_woken.notify_all();
        m_reader.join();
    }

    void samplesQueued() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_pending = true;
        }
        m_woken.notify_all();
    }

    void flush() override
    {
        {
            std::lock_guard lock(m_collected->mutex);
            ++m_collected->flushes;
        }
        m_collected->changed.notify_all();
    }

private:
    void read()
    {
        using namespace std::chrono;
        const double rate = m_collected->options.samplesPerSecond;
        std::vector<int16_t> buffer(1 << 16);
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_woken.wait(lock, [&] { return m_ending || m_pending; });
            if (m_ending)
                return;
            m_pending = false;
            // Like a device: it plays from the first sample on, then idles when the queue is dry.
            const auto start = steady_clock::now();
            std::size_t taken = 0;
            for (;;) {
                lock.unlock();
                std::size_t room = buffer.size();
                if (rate > 0) {
                    const double elapsed = duration<double>(steady_clock::now() - start).count();
                    const auto played = static_cast<std::size_t>(elapsed * rate);
                    room = std::min(room, played + static_cast<std::size_t>(rate / 25) - taken);
                }
                bool startsText = false;
                const std::size_t n = m_queue.take(buffer.data(), room, &startsText);
                append(buffer.data(), n, startsText);
                taken += n;
                lock.lock();
                if (m_ending)
                    return;
                if (n == 0 && room > 0 && !m_pending) {
                    if (m_queue.size() == 0)
                        break;
                }
                m_woken.wait_for(lock, milliseconds(rate > 0 ? 5 : 0), [&] { return m_ending; });
            }
        }
    }

    void append(const int16_t *samples, std::size_t count, bool startsText)
    {
        if (count == 0)
            return;
        {
            std::lock_guard lock(m_collected->mutex);
            if (startsText || m_collected->textLengths.empty())
                m_collected->textLengths.push_back(0);
            m_collected->textLengths.back() += count;
            if (m_collected->options.keepSamples)
                m_collected->samples.insert(m_collected->samples.end(), samples, samples + count);
            m_collected->lastWrite = std::chrono::steady_clock::now();
        }
        m_collected->changed.notify_all();
    }

    SampleQueue &m_queue;
    std::shared_ptr<Collected> m_collected;
    std::mutex m_mutex;
    std::condition_variable m_woken;
    bool m_pending = false;
    bool m_ending = false;
    std::thread m_reader;
};

inline AudioOutputFactory collectInto(const std::shared_ptr<Collected> &collected)
{
    return [collected](SampleQueue &queue) {
        return std::make_unique<CollectingAudioOutput>(queue, collected);
    };
}
