// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WordModel.h"
#include "WordOffers.h"

#include <QHash>

#include <memory>

// The rules of the strip's completion over a word model: what is offered for the line typed so
// far (the cursor at its end), and in which case.
class WordCompletion
{
public:
    // Past this, a line is a paste, not typing: working out a guess would only cost time.
    static constexpr qsizetype LongestLine = 4000;

    explicit WordCompletion(std::unique_ptr<WordModel> model);

    // A line said in this run, typed or from the board.
    void learn(const QString &line);

    // The likeliest words for the one being typed at the end of line, or on an empty line or
    // after a space for the next word; none when there is nothing to offer. The letters typed
    // keep their case and the rest follows it, except for words that are written with capitals
    // ("I", names), which keep them.
    WordOffers offers(const QString &line) const;

private:
    QString writtenForm(const QString &word) const;
    QString asTyped(const QString &typed, const QString &word) const;

    std::unique_ptr<WordModel> m_model;
    // Words seen with capitals inside a sentence, by their lower-case form.
    QHash<QString, QString> m_capitalised;
};
