// SPDX-License-Identifier: GPL-3.0-or-later
#include "SampleQueue.h"

#include <algorithm>

bool SampleQueue::acceptsLocked(std::uint64_t generation) const
{
    return !m_closed && generation == m_generation.load();
}

bool SampleQueue::accepts(std::uint64_t generation) const
{
    std::lock_guard lock(m_mutex);
    return acceptsLocked(generation);
}

SampleQueue::Push SampleQueue::push(const int16_t *samples, std::size_t count, bool startsText,
    std::uint64_t generation, bool intoCalls)
{
    std::lock_guard lock(m_mutex);
    if (!acceptsLocked(generation))
        return Push::Refused;
    if (count == 0)
        return Push::Queued;
    const bool wasEmpty = m_size == 0;
    // Flite streams in small pieces; appending to the last chunk keeps the queue short.
    if (!startsText && !m_chunks.empty() && m_chunks.back().samples.size() < 8192) {
        auto &tail = m_chunks.back().samples;
        tail.insert(tail.end(), samples, samples + count);
    } else {
        m_chunks.push_back(
            Chunk { std::vector<int16_t>(samples, samples + count), 0, startsText, intoCalls });
    }
    m_size += count;
    return wasEmpty ? Push::QueuedIntoEmpty : Push::Queued;
}

bool SampleQueue::nextStartsText() const
{
    std::lock_guard lock(m_mutex);
    return !m_chunks.empty() && m_chunks.front().startsText && m_chunks.front().read == 0;
}

std::size_t SampleQueue::take(int16_t *out, std::size_t max, bool *beganText, bool *intoCalls)
{
    std::size_t taken = 0;
    {
        std::lock_guard lock(m_mutex);
        if (beganText)
            *beganText = max > 0 && !m_chunks.empty() && m_chunks.front().startsText
                && m_chunks.front().read == 0;
        if (intoCalls)
            *intoCalls = !m_chunks.empty() && m_chunks.front().intoCalls;
        while (taken < max && !m_chunks.empty()) {
            Chunk &chunk = m_chunks.front();
            if (taken > 0 && chunk.startsText && chunk.read == 0)
                break;
            const std::size_t n = std::min(max - taken, chunk.samples.size() - chunk.read);
            std::copy_n(chunk.samples.data() + chunk.read, n, out + taken);
            chunk.read += n;
            taken += n;
            if (chunk.read == chunk.samples.size())
                m_chunks.pop_front();
        }
        m_size -= taken;
    }
    if (taken > 0)
        m_roomFreed.notify_all();
    return taken;
}

std::size_t SampleQueue::size() const
{
    std::lock_guard lock(m_mutex);
    return m_size;
}

bool SampleQueue::waitForRoom(std::size_t limit, std::uint64_t generation)
{
    std::unique_lock lock(m_mutex);
    m_roomFreed.wait(lock, [&] { return !acceptsLocked(generation) || m_size <= limit; });
    return acceptsLocked(generation);
}

void SampleQueue::discardAll()
{
    {
        std::lock_guard lock(m_mutex);
        m_generation.fetch_add(1);
        m_chunks.clear();
        m_size = 0;
    }
    m_roomFreed.notify_all();
}

void SampleQueue::close()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_chunks.clear();
        m_size = 0;
    }
    m_roomFreed.notify_all();
}
