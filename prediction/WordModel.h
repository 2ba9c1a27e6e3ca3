// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// What a word completion asks of a language model. Words are lower case on both sides; the
// casing of what is shown is the completion's business.
class WordModel
{
public:
    virtual ~WordModel() = default;

    // A line the user said, or a phrase of the board. Learned in memory only: nothing is written.
    virtual void learn(const QString &line) = 0;

    // The count likeliest words that start with prefix and are longer than it, given the text of
    // the line before it, likeliest first and no two alike; an empty prefix asks for the next
    // word. Fewer when fewer fit, none when nothing does.
    virtual QStringList likeliestWords(
        const QString &before, const QString &prefix, int count) const = 0;
};
