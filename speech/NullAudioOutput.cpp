// SPDX-License-Identifier: GPL-3.0-or-later
#include "AudioOutput.h"
#include "FliteVoice.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {

class NullAudioOutput final : public AudioOutput
{
public:
    bool open() override
    {
        m_clock.start();
        return true;
    }

    std::size_t writableSamples() override
    {
        if (!m_clock.isValid())
            return 0;
        const auto played = static_cast<std::size_t>(
            m_clock.nsecsElapsed() / 1000 * flitevoice::SampleRate / 1000000);
        // Idle time played silence: there is nothing to catch up on after a pause.
        m_written = std::max(m_written, played);
        return played + Headroom - m_written;
    }

    void write(const int16_t *, std::size_t count) override { m_written += count; }
    bool failed() const override { return false; }

private:
    // About as much as a real device's buffer holds.
    static constexpr std::size_t Headroom = flitevoice::SampleRate / 20;
    QElapsedTimer m_clock;
    std::size_t m_written = 0;
};

} // namespace

std::unique_ptr<AudioOutput> makeNullAudioOutput()
{
    return std::make_unique<NullAudioOutput>();
}
