// SPDX-License-Identifier: GPL-3.0-or-later
#include "SampleQueue.h"

#include <algorithm>

bool SampleQueue::push(const int16_t *samples, std::size_t count, bool startsText)
{
    if (count == 0)
        return false;
    std::lock_guard lock(m_mutex);
    const bool wasEmpty = m_size == 0;
    // Flite streams in small pieces; appending to the last chunk keeps the queue short.
    if (!startsText && !m_chunks.empty() && m_chunks.back().samples.size() < 8192) {
        auto &tail = m_chunks.back().samples;
        tail.insert(tail.end(), samples, samples + count);
    } else {
        m_chunks.push_back(Chunk { std::vector<int16_t>(samples, samples + count), 0, startsText });
    }
    m_size += count;
    return wasEmpty;
}

bool SampleQueue::nextStartsText() const
{
    std::lock_guard lock(m_mutex);
    return !m_chunks.empty() && m_chunks.front().startsText && m_chunks.front().read == 0;
}

std::size_t SampleQueue::take(int16_t *out, std::size_t max)
{
    std::size_t taken = 0;
    {
        std::lock_guard lock(m_mutex);
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

bool SampleQueue::waitForRoom(std::size_t limit)
{
    std::unique_lock lock(m_mutex);
    m_roomFreed.wait(lock, [&] { return m_stopped || m_size <= limit; });
    return !m_stopped;
}

void SampleQueue::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_chunks.clear();
        m_size = 0;
    }
    m_roomFreed.notify_all();
}

bool SampleQueue::stopped() const
{
    std::lock_guard lock(m_mutex);
    return m_stopped;
}
