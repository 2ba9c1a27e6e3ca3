// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What a word completion asks of a language model. Words are lower case on both sides; the
// casing of what is shown is the completion's business.
class WordModel
{
public:
    virtual ~WordModel() = default;

    // A line the user said, or a phrase of the board. Learned in memory only: nothing is written.
    virtual void learn(const QString &line) = 0;

    // The most likely word that starts with prefix and is longer than it, given the text of the
    // line before it; an empty prefix asks for the next word. Empty when nothing fits.
    virtual QString mostLikelyWord(const QString &before, const QString &prefix) const = 0;
};
