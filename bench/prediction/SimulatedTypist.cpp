// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatedTypist.h"

#include "Characters.h"
#include "WordCompletion.h"

#include <QElapsedTimer>

namespace {

// What the line reads once the word offered that is its next one is taken, or nothing.
QString taking(const QString &typed, const WordOffers &offers, int taken, const QString &line)
{
    for (qsizetype i = 0; i < std::min<qsizetype>(taken, offers.words.size()); ++i) {
        const QString word = typed.left(typed.size() - offers.typed) + offers.words.at(i);
        const qsizetype end = word.size();
        if (line.startsWith(word) && !Characters::isInWord(line, end))
            return end < line.size() && line.at(end) == u' ' ? word + u' ' : word;
    }
    return {};
}

void typeLine(WordCompletion &completion, const QString &line, int taken, TypingResult &result)
{
    QString typed;
    const qint64 keysBefore = result.keys;
    while (typed.size() < line.size()) {
        QElapsedTimer timer;
        timer.start();
        const WordOffers offers = completion.offers(typed);
        result.offerNanoseconds.append(timer.nsecsElapsed());

        const QString next = taking(typed, offers, taken, line);
        if (next.isEmpty())
            typed.append(line.at(typed.size()));
        else
            typed = next;
        ++result.keys;
    }
    result.characters += line.size();
    result.lines.append({ result.keys - keysBefore, line.size() });
    completion.learn(line);
}

} // namespace

TypingResult typeLines(WordCompletion &completion, const QStringList &lines, int taken)
{
    TypingResult result;
    for (const QString &line : lines)
        typeLine(completion, line, taken, result);
    return result;
}
