// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClickProbe.h"

#include "FliteVoice.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

class Collector final : public flitevoice::SampleReceiver
{
public:
    bool receive(const int16_t *samples, std::size_t count) override
    {
        m_samples.insert(m_samples.end(), samples, samples + count);
        return true;
    }
    std::vector<std::int16_t> m_samples;
};

} // namespace

std::vector<std::int16_t> clickprobe::sound(int argc, char **argv, unsigned rate)
{
    const std::string text = option(argc, argv, "--voice", "");
    if (text.empty()) {
        std::vector<std::int16_t> samples(clickLength(rate));
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = clickSample(i, rate);
        return samples;
    }
    if (rate != flitevoice::SampleRate) {
        std::fprintf(stderr, "probe: the voice speaks at %d Hz only\n", flitevoice::SampleRate);
        std::exit(1);
    }
    Collector collector;
    if (flitevoice::synthesize(QByteArray::fromStdString(text), {}, collector)
        != flitevoice::Outcome::Finished) {
        std::fputs("probe: the voice failed\n", stderr);
        std::exit(1);
    }
    // As Vocalo trims it: a millisecond of the voice's leading quiet is left.
    std::vector<std::int16_t> &samples = collector.m_samples;
    const auto loud = std::find_if(
        samples.begin(), samples.end(), [](std::int16_t sample) { return std::abs(sample) >= 64; });
    samples.erase(
        samples.begin(), loud - std::min<std::ptrdiff_t>(loud - samples.begin(), rate / 1000));
    return samples;
}
