// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target over the whole road a typed or pasted text takes before it is heard: cleaning,
// sentence splitting, the cutting of long tokens and Flite synthesis of every sentence, into a
// receiver that throws the samples away. Besides crashes and leaks (the sanitizers), it aborts on
// any sentence that breaks the splitter's promises and on any input whose synthesis costs more
// than one second of CPU per kilobyte of text.
//
// Input layout: the first byte chooses how the rest is read and spoken (see Header); the rest is
// the text, as UTF-8 or as UTF-16 (the latter reaches lone surrogates, which UTF-8 cannot carry).
#include "FliteVoice.h"
#include "TextPreparation.h"

#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

// Sanitizers and coverage counters slow our own code; Flite itself is not instrumented, but every
// one of its many small allocations goes through AddressSanitizer's allocator. Measured over the
// seeds and over runs of digits and letters, this build spends 2.8 to 5.4 times the CPU time of a
// release build (the slowest release inputs, long numbers at 50 words a minute, cost about
// 0.6 s per kilobyte). The budget allows 8 times, so no honest input nears it, while a runaway
// input (seconds per word) still stands out by orders of magnitude.
constexpr double SanitizerSlowdown = 8.0;
constexpr double SecondsPerKilobyte = 1.0;
// A synthesis call has a fixed cost, so short inputs are held to the budget of a whole kilobyte.
constexpr std::size_t SmallestBudgetBytes = 1024;

constexpr int SlowestWordsPerMinute = 50;
constexpr int FastestWordsPerMinute = 250;
constexpr int LowestPitchHz = 50;
constexpr int HighestPitchHz = 400;

[[noreturn]] void fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "text path fuzzer: %s\n", what);
    if (!detail.isEmpty())
        std::fprintf(stderr, "  at: %s\n", detail.toUtf8().constData());
    std::abort();
}

// Bit 0: the text is UTF-16 (little-endian) instead of UTF-8. Bits 1-3: speed, from 50 to 250
// words a minute. Bits 4-6: pitch, from 50 to 400 Hz. Bit 7: every sentence is stopped after its
// first tenth of a second, as when the user stops speech.
struct Header
{
    bool utf16;
    flitevoice::Prosody prosody;
    bool stopEarly;
};

Header readHeader(uint8_t byte)
{
    const int speedStep = (byte >> 1) & 0x7;
    const int pitchStep = (byte >> 4) & 0x7;
    const double wordsPerMinute
        = SlowestWordsPerMinute + speedStep * (FastestWordsPerMinute - SlowestWordsPerMinute) / 7.0;
    const double pitch = LowestPitchHz + pitchStep * (HighestPitchHz - LowestPitchHz) / 7.0;
    return { (byte & 1) != 0, { pitch, flitevoice::stretchFor(wordsPerMinute) },
        (byte & 0x80) != 0 };
}

QString readText(bool utf16, const uint8_t *data, std::size_t size)
{
    if (!utf16)
        return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QString text(qsizetype(size / 2), Qt::Uninitialized);
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text[qsizetype(i / 2)] = QChar(char16_t(data[i] | data[i + 1] << 8));
    return text;
}

class DiscardingReceiver final : public flitevoice::SampleReceiver
{
public:
    explicit DiscardingReceiver(std::size_t stopAfter = SIZE_MAX) : m_stopAfter(stopAfter) { }

    bool receive(const int16_t *, std::size_t count) override
    {
        m_received += count;
        return m_received < m_stopAfter;
    }

private:
    std::size_t m_stopAfter;
    std::size_t m_received = 0;
};

// What every sentence handed to Flite must be, whatever came in.
void checkSentence(const QString &sentence)
{
    if (sentence.isEmpty() || sentence.startsWith(u' ') || sentence.endsWith(u' '))
        fail("a sentence is empty or has spaces around it", sentence);
    if (sentence.size() > textprep::MaxSentenceLength)
        fail("a sentence is longer than the longest allowed", sentence);
    qsizetype token = 0;
    for (qsizetype i = 0; i < sentence.size(); ++i) {
        const QChar c = sentence.at(i);
        if (c == u' ') {
            token = 0;
            continue;
        }
        if (c.isHighSurrogate()) {
            if (i + 1 >= sentence.size() || !sentence.at(i + 1).isLowSurrogate())
                fail("a sentence holds a lone high surrogate", sentence);
            ++i;
        } else if (c.isLowSurrogate()) {
            fail("a sentence holds a lone low surrogate", sentence);
        } else if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() < 0xa0)
            || c.unicode() == 0xfffd) {
            fail("a control or replacement character reached the synthesiser", sentence);
        }
        if (++token > textprep::MaxTokenLength)
            fail("a token is longer than the longest allowed", sentence);
    }
}

double cpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Loading the voice costs far more than any sentence; it must not count against an input.
    DiscardingReceiver receiver;
    if (flitevoice::synthesize("Ready.", {}, receiver) != flitevoice::Outcome::Finished)
        fail("the Flite voice does not load");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const Header header = readHeader(data[0]);
    const QString text = readText(header.utf16, data + 1, size - 1);
    // CPU time, not wall time: other work on a shared machine must not look like a slow input.
    const double start = cpuSeconds();

    const QString cleaned = textprep::clean(text);
    textprep::SentenceSplitter splitter(cleaned);
    QString sentence;
    QString spoken;
    while (splitter.next(sentence)) {
        checkSentence(sentence);
        spoken += sentence;
        DiscardingReceiver receiver(header.stopEarly ? flitevoice::SampleRate / 10 : SIZE_MAX);
        const auto outcome = flitevoice::synthesize(sentence.toUtf8(), header.prosody, receiver);
        if (outcome == flitevoice::Outcome::Failed
            || (outcome == flitevoice::Outcome::Stopped && !header.stopEarly))
            fail("Flite failed on a sentence", sentence);
    }
    if (QString(spoken).remove(u' ') != QString(cleaned).remove(u' '))
        fail("the sentences lost, added or reordered characters of the text");

    const double seconds = cpuSeconds() - start;
    const std::size_t budgetBytes = std::max(size - 1, SmallestBudgetBytes);
    const double budget = SanitizerSlowdown * SecondsPerKilobyte * double(budgetBytes) / 1024.0;
    if (seconds > budget) {
        std::fprintf(stderr,
            "text path fuzzer: %zu bytes of text took %.2f s of CPU, over the budget of %.2f s "
            "(%.0f s per kilobyte, times %.0f for the sanitizers)\n",
            size - 1, seconds, budget, SecondsPerKilobyte, SanitizerSlowdown);
        std::abort();
    }
    return 0;
}
