// SPDX-License-Identifier: GPL-3.0-or-later
// Keystroke savings of the strip's word completion, with the model the program uses (a frequency
// list and what the run has said) against presage, over a conversation and the board's phrases;
// also the time one suggestion takes and the memory the model holds.
#include "FrequencyModel.h"
#include "PresageModel.h"
#include "SimulatedTypist.h"
#include "WordCompletion.h"

#include "../../forms/quick/QuickPhrases.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// Said before counting: a conversation's context.
constexpr qsizetype ContextLines = 20;
constexpr int LongRunLines = 20000;

QStringList conversation()
{
    QFile file(QStringLiteral(VOCALO_SOURCE_DIR "/bench/prediction/conversation.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    return lines;
}

QStringList boardPhrases()
{
    QStringList phrases;
    for (const QuickPhrase &phrase : QuickPhrases)
        phrases.append(QString::fromUtf8(phrase.spoken));
    return phrases;
}

qint64 heapInUse()
{
    return qint64(mallinfo2().uordblks);
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

void measure(const Contender &contender)
{
    const QStringList lines = conversation();
    const QStringList board = boardPhrases();

    const qint64 heapBefore = heapInUse();
    WordCompletion completion(contender.make());
    // As the program starts: the board's phrases are known before anything is typed.
    for (const QString &phrase : board)
        completion.learn(phrase);
    const qint64 heapAtStart = heapInUse() - heapBefore;
    for (const QString &line : lines.mid(0, ContextLines))
        completion.learn(line);
    const TypingResult talk = typeLines(completion, lines.mid(ContextLines));
    const qint64 heapAfterTalk = heapInUse() - heapBefore;

    WordCompletion fresh(contender.make());
    for (const QString &phrase : board)
        fresh.learn(phrase);
    const TypingResult phrases = typeLines(fresh, board);

    std::printf("%-24s conversation %5.1f%% (%lld keys for %lld characters)  board %5.1f%% "
                "(%lld/%lld)\n",
        contender.name, 100 * talk.savings(), talk.keys, talk.characters, 100 * phrases.savings(),
        phrases.keys, phrases.characters);
    QList<qint64> times = talk.suggestionNanoseconds;
    std::sort(times.begin(), times.end());
    std::printf("%-24s per keystroke: median %.1f us, 99th percentile %.1f us; heap: %.2f MB at "
                "start, %.2f MB after %lld lines\n",
        "", times.at(times.size() / 2) / 1e3, times.at(times.size() * 99 / 100) / 1e3,
        heapAtStart / 1e6, heapAfterTalk / 1e6, qint64(lines.size()));
    if (contender.longRun)
        std::printf("%-24s heap after %d more lines, each with a new word: %.2f MB\n", "",
            LongRunLines, heapAfterLongRun(completion, lines, heapBefore) / 1e6);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString presageConfiguration
        = QStringLiteral(VOCALO_SOURCE_DIR "/bench/prediction/presage.xml");
    const Contender contenders[] = {
        { "frequency list + run",
            [] {
                return std::make_unique<FrequencyModel>(WordFrequencies::fromPresageDatabase(
                    WordFrequencies::defaultPresageDatabase()));
            },
            true },
        { "run only", [] { return std::make_unique<FrequencyModel>(WordFrequencies()); }, true },
        { "presage", [&] { return std::make_unique<PresageModel>(presageConfiguration); } },
    };
    for (const Contender &contender : contenders)
        measure(contender);
    return 0;
}
