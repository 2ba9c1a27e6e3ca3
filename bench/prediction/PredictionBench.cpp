// SPDX-License-Identifier: GPL-3.0-or-later
// Keystroke savings of the strip's word completion, with the model the program uses (a model of
// English and what the run has said) against presage, over the conversation the completion was
// tuned on and over one kept aside from tuning, taking the first offer alone or any of three;
// also the time one key's offers take, the time to open the model and the memory it holds.
#include "FrequencyModel.h"
#include "PresageModel.h"
#include "SimulatedTypist.h"
#include "WordCompletion.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>

namespace {

// Said before counting: a conversation's context.
constexpr qsizetype ContextLines = 20;
constexpr int LongRunLines = 20000;
constexpr int BootstrapSamples = 2000;
// The index of English the build made for the program.
constexpr const char *englishIndex = VOCALO_ENGLISH_INDEX;

QStringList lines(const char *name)
{
    QFile file(QStringLiteral(VOCALO_SOURCE_DIR "/bench/prediction/") + QString::fromUtf8(name));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

// Large blocks are mapped apart from the heap's arena: counted too.
qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

struct Contender
{
    const char *name;
    std::function<std::unique_ptr<WordModel>()> make;
    // Whether to measure weeks of talk too: too slow for presage.
    bool longRun = false;
};

// Weeks of talk: the conversation over and over, each line with a word never said before (a
// name, a number), so that what the model keeps can only grow unless it forgets.
qint64 heapAfterLongRun(WordCompletion &completion, const QStringList &lines, qint64 heapBefore)
{
    for (int n = 0; n < LongRunLines; ++n)
        completion.learn(
            lines.at(n % lines.size()) + u' ' + QString::number(n, 36) + QStringLiteral("x"));
    return heapInUse() - heapBefore;
}

// The savings' 95% range over resamples of the lines typed.
std::pair<double, double> bootstrap(const TypingResult &result)
{
    std::mt19937 random(26);
    std::uniform_int_distribution<qsizetype> pick(0, result.lines.size() - 1);
    QList<double> savings;
    for (int sample = 0; sample < BootstrapSamples; ++sample) {
        qint64 keys = 0, characters = 0;
        for (qsizetype n = 0; n < result.lines.size(); ++n) {
            const auto [lineKeys, lineCharacters] = result.lines.at(pick(random));
            keys += lineKeys;
            characters += lineCharacters;
        }
        savings.append(1.0 - double(keys) / double(characters));
    }
    std::sort(savings.begin(), savings.end());
    return { savings.at(BootstrapSamples / 40),
        savings.at(BootstrapSamples - 1 - BootstrapSamples / 40) };
}

TypingResult converse(const Contender &contender, const QStringList &text, int taken)
{
    WordCompletion completion(contender.make());
    for (const QString &line : text.mid(0, ContextLines))
        completion.learn(line);
    return typeLines(completion, text.mid(ContextLines), taken);
}

// The savings on both conversations, and the times each key's offers took.
QList<qint64> printSavings(const Contender &contender, int taken)
{
    const TypingResult talk = converse(contender, lines("conversation.txt"), taken);
    const TypingResult unseen = converse(contender, lines("heldout.txt"), taken);
    const auto [low, high] = bootstrap(unseen);
    std::printf("%-22s %-12s tuned on %5.1f%% (%lld keys for %lld characters)  held out %5.1f%% "
                "(%lld/%lld, 95%% of resamples %.1f-%.1f%%)\n",
        taken == 1 ? contender.name : "", taken == 1 ? "one offer" : "three offers",
        100 * talk.savings(), talk.keys, talk.characters, 100 * unseen.savings(), unseen.keys,
        unseen.characters, 100 * low, 100 * high);
    return talk.offerNanoseconds + unseen.offerNanoseconds;
}

void measure(const Contender &contender)
{
    const QStringList tuned = lines("conversation.txt");

    const qint64 heapBefore = heapInUse();
    QElapsedTimer loading;
    loading.start();
    WordCompletion completion(contender.make());
    const qint64 loadNanoseconds = loading.nsecsElapsed();
    const qint64 heapAtStart = heapInUse() - heapBefore;

    printSavings(contender, 1);
    QList<qint64> times = printSavings(contender, WordOffers::Most);
    std::sort(times.begin(), times.end());
    std::printf("%-22s per keystroke (three offers): median %.1f us, 99th percentile %.1f us; "
                "open %.1f ms; heap %.2f MB at start",
        "", times.at(times.size() / 2) / 1e3, times.at(times.size() * 99 / 100) / 1e3,
        loadNanoseconds / 1e6, heapAtStart / 1e6);
    if (contender.longRun) {
        for (const QString &line : tuned)
            completion.learn(line);
        std::printf(", %.2f MB after %lld lines, %.2f MB after %d more lines each with a new "
                    "word",
            (heapInUse() - heapBefore) / 1e6, qint64(tuned.size()),
            heapAfterLongRun(completion, tuned, heapBefore) / 1e6, LongRunLines);
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString presageConfiguration
        = QStringLiteral(VOCALO_SOURCE_DIR "/bench/prediction/presage.xml");
    const Contender contenders[] = {
        { "English model + run",
            [] {
                QString error;
                NgramIndex english = NgramIndex::open(englishIndex, &error);
                if (english.isEmpty())
                    qFatal("%s: %s", englishIndex, qPrintable(error));
                return std::make_unique<FrequencyModel>(std::move(english));
            },
            true },
        { "run only", [] { return std::make_unique<FrequencyModel>(); }, true },
        { "presage", [&] { return std::make_unique<PresageModel>(presageConfiguration); } },
    };
    // A name on the command line measures only the contenders whose names start with it.
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    for (const Contender &contender : contenders)
        if (QString::fromUtf8(contender.name).startsWith(only))
            measure(contender);
    return 0;
}
