// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Turns whatever a user typed or pasted into pieces the synthesiser can take: it speaks text
// literally, so nothing here interprets markup; it only keeps the synthesiser from choking.
namespace textprep {

constexpr qsizetype MaxSentenceLength = 300;
constexpr qsizetype MaxTokenLength = 100;

// Control characters, unpaired surrogates, replacement characters (what invalid UTF-8 decodes
// to) and non-characters become spaces.
QString clean(const QString &text);

// Hands out the sentences of a cleaned text one at a time, so a pasted megabyte is never split
// up front. A sentence ends where Characters reads a sentence's end (so not inside "3.5" or
// after "e.g."), or at MaxSentenceLength (broken at a space where there is one); a token longer
// than MaxTokenLength is broken into pieces of at most that length.
class SentenceSplitter
{
public:
    explicit SentenceSplitter(QString cleanedText);

    // The next sentence with something to say in it, or false at the end of the text.
    bool next(QString &sentence);

private:
    QString m_text;
    qsizetype m_position = 0;
};

} // namespace textprep
