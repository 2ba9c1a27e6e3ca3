// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AudioOutput.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// An output device for tests: keeps every sample an instance would have played, so a test can
// listen without a sound server. It can play at the real-time rate, refuse to open, or die after
// a number of samples like a sound server that goes away.
struct Collected
{
    struct Options
    {
        // 0 takes everything at once; otherwise samples per second.
        double samplesPerSecond = 0;
        bool openFails = false;
        // The first output opened reports itself failed after this many samples, like a sound
        // server that dies once; later outputs keep working.
        std::size_t failAfter = SIZE_MAX;
        // How long open() blocks, like a frozen sound server.
        std::chrono::milliseconds openDelay { 0 };
    };

    Options options;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::vector<int16_t> samples;
    int opens = 0;
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
    int openCount() const
    {
        std::lock_guard lock(mutex);
        return opens;
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
    explicit CollectingAudioOutput(std::shared_ptr<Collected> collected)
        : m_collected(std::move(collected))
    { }

    bool open() override
    {
        std::this_thread::sleep_for(m_collected->options.openDelay);
        {
            std::lock_guard lock(m_collected->mutex);
            ++m_collected->opens;
            m_failAfter = m_collected->opens == 1 ? m_collected->options.failAfter : SIZE_MAX;
        }
        m_collected->changed.notify_all();
        m_start = std::chrono::steady_clock::now();
        return !m_collected->options.openFails;
    }

    std::size_t writableSamples() override
    {
        const std::size_t untilFailure = m_failAfter > m_mine ? m_failAfter - m_mine : 0;
        return std::min(untilFailure, room());
    }

    void write(const int16_t *samples, std::size_t count) override
    {
        {
            std::lock_guard lock(m_collected->mutex);
            m_collected->samples.insert(m_collected->samples.end(), samples, samples + count);
            m_collected->lastWrite = std::chrono::steady_clock::now();
        }
        m_written += count;
        m_mine += count;
        m_collected->changed.notify_all();
    }

    bool failed() const override { return m_mine >= m_failAfter; }

private:
    std::size_t room()
    {
        const double rate = m_collected->options.samplesPerSecond;
        if (rate <= 0)
            return 1 << 20;
        const double elapsed
            = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
        const auto played = static_cast<std::size_t>(elapsed * rate);
        const std::size_t buffer = static_cast<std::size_t>(rate / 25); // 40 ms, like a device
        m_written = std::max(m_written, played);
        return played + buffer - m_written;
    }

    std::shared_ptr<Collected> m_collected;
    std::chrono::steady_clock::time_point m_start;
    std::size_t m_written = 0;
    std::size_t m_mine = 0;
    std::size_t m_failAfter = SIZE_MAX;
};

inline AudioOutputFactory collectInto(const std::shared_ptr<Collected> &collected)
{
    return [collected] { return std::make_unique<CollectingAudioOutput>(collected); };
}
