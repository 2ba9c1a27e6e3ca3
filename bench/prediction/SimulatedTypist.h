// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class WordCompletion;

// A typist who types each line letter by letter and takes an offered word whenever it is exactly
// the word being typed, with one key: the first offer alone (Tab, which adds the space, or Right
// before punctuation), or any of the first `taken` (F1 to F3 do the same); each line is then
// said, and the completion learns it.
struct TypingResult
{
    qint64 characters = 0;
    qint64 keys = 0;
    // How long each key's offers took to work out: one per keystroke.
    QList<qint64> offerNanoseconds;
    // Each line's keys and characters, to tell how much the figure owes to a few lines.
    QList<std::pair<qint64, qint64>> lines;

    double savings() const { return characters ? 1.0 - double(keys) / double(characters) : 0; }
};

TypingResult typeLines(WordCompletion &completion, const QStringList &lines, int taken = 1);
