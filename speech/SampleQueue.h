// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// The audio of one instance between its synthesis worker and its output. The worker never
// blocks while pushing (it may hold the synthesiser); it waits for room only between sentences.
//
// Every text is queued under a generation; discarding the queue (a stop) starts a new one and
// refuses the samples of older texts from then on, so a sentence being synthesised when the
// stop came cannot slip in behind it.
class SampleQueue
{
public:
    enum class Push { Refused, Queued, QueuedIntoEmpty };

    std::uint64_t generation() const { return m_generation.load(); }
    // Whether samples of that generation are still wanted.
    bool accepts(std::uint64_t generation) const;

    // `intoCalls`: whether these samples are also heard in calls; the same for all of a text.
    Push push(const int16_t *samples, std::size_t count, bool startsText, std::uint64_t generation,
        bool intoCalls = false);

    // Whether the next samples begin a new text.
    bool nextStartsText() const;
    // Copies up to `max` samples out. Stops short of the next text's first sample, so a text
    // always begins a take; `beganText` tells whether this one did, `intoCalls` whether its
    // samples are heard in calls.
    std::size_t take(
        int16_t *out, std::size_t max, bool *beganText = nullptr, bool *intoCalls = nullptr);
    std::size_t size() const;

    // Blocks until at most `limit` samples wait; false when that generation was discarded or the
    // queue closed meanwhile.
    bool waitForRoom(std::size_t limit, std::uint64_t generation);

    // Drops every waiting sample and refuses those of every text queued so far.
    void discardAll();
    // The instance is ending: drops everything and refuses every sample from now on.
    void close();

private:
    struct Chunk
    {
        std::vector<int16_t> samples;
        std::size_t read = 0;
        bool startsText = false;
        bool intoCalls = false;
    };

    bool acceptsLocked(std::uint64_t generation) const;

    mutable std::mutex m_mutex;
    std::condition_variable m_roomFreed;
    std::deque<Chunk> m_chunks;
    std::size_t m_size = 0;
    // Written under the mutex; read without it by the engine when it queues a text.
    std::atomic<std::uint64_t> m_generation { 0 };
    bool m_closed = false;
};
