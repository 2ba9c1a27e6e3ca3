// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class WordCompletion;

// A typist who types each line letter by letter and takes the suggestion (Tab, which adds the
// space, or Right before punctuation) whenever it is exactly the word being typed; each line is
// then said, and the completion learns it.
struct TypingResult
{
    qint64 characters = 0;
    qint64 keys = 0;
    // How long each suggestion took to work out: one per keystroke.
    QList<qint64> suggestionNanoseconds;
    // Each line's keys and characters, to tell how much the figure owes to a few lines.
    QList<std::pair<qint64, qint64>> lines;

    double savings() const { return characters ? 1.0 - double(keys) / double(characters) : 0; }
};

TypingResult typeLines(WordCompletion &completion, const QStringList &lines);
