// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// The audio of one instance between its synthesis worker and its audio thread. The worker never
// blocks while pushing (it may hold the Flite lock); it waits for room only between sentences.
class SampleQueue
{
public:
    // Returns true when the queue was empty, so the reader may need waking.
    bool push(const int16_t *samples, std::size_t count, bool startsText);

    // Whether the next samples begin a new text (the reader may pick its output again there).
    bool nextStartsText() const;
    // Copies up to `max` samples out. Stops short of the next text's first sample, so a text
    // always begins a take.
    std::size_t take(int16_t *out, std::size_t max);
    std::size_t size() const;

    // Blocks until at most `limit` samples wait or stop() is called; false once stopped.
    bool waitForRoom(std::size_t limit);
    void stop();
    bool stopped() const;

private:
    struct Chunk
    {
        std::vector<int16_t> samples;
        std::size_t read = 0;
        bool startsText = false;
    };

    mutable std::mutex m_mutex;
    std::condition_variable m_roomFreed;
    std::deque<Chunk> m_chunks;
    std::size_t m_size = 0;
    bool m_stopped = false;
};
