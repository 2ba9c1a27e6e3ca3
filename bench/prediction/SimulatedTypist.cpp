// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimulatedTypist.h"

#include "Characters.h"
#include "WordCompletion.h"

#include <QElapsedTimer>

namespace {

void typeLine(WordCompletion &completion, const QString &line, TypingResult &result)
{
    QString typed;
    const qint64 keysBefore = result.keys;
    while (typed.size() < line.size()) {
        QElapsedTimer timer;
        timer.start();
        const WordCompletion::Suggestion suggestion = completion.suggestion(typed);
        result.suggestionNanoseconds.append(timer.nsecsElapsed());

        const QString taken = typed.left(typed.size() - suggestion.typed) + suggestion.word;
        const qsizetype end = taken.size();
        const bool wholeWord = !suggestion.word.isEmpty() && line.startsWith(taken)
            && !Characters::isInWord(line, end);
        if (wholeWord)
            typed = end < line.size() && line.at(end) == u' ' ? taken + u' ' : taken;
        else
            typed.append(line.at(typed.size()));
        ++result.keys;
    }
    result.characters += line.size();
    result.lines.append({ result.keys - keysBefore, line.size() });
    completion.learn(line);
}

} // namespace

TypingResult typeLines(WordCompletion &completion, const QStringList &lines)
{
    TypingResult result;
    for (const QString &line : lines)
        typeLine(completion, line, result);
    return result;
}
