// SPDX-License-Identifier: GPL-3.0-or-later
#include "Words.h"

namespace {

bool isApostrophe(QChar c)
{
    return c == u'\'' || c == u'\u2019';
}

bool endsSentence(QChar c)
{
    return c == u'.' || c == u'!' || c == u'?';
}

} // namespace

namespace Words {

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || isApostrophe(c);
}

QString trailingWord(const QString &text)
{
    qsizetype start = text.size();
    while (start > 0 && isWordCharacter(text.at(start - 1)))
        --start;
    // A quote before a word opens it; it is not part of the word.
    while (start < text.size() && isApostrophe(text.at(start)))
        ++start;
    return text.mid(start);
}

QList<QString> sentenceWords(const QString &text)
{
    QList<QString> words { QString() };
    QString word;
    auto flush = [&] {
        while (!word.isEmpty() && isApostrophe(word.back()))
            word.chop(1);
        if (!word.isEmpty())
            words.append(word.toLower().replace(u'\u2019', u'\''));
        word.clear();
    };
    for (QChar c : text) {
        if (isWordCharacter(c)) {
            if (!word.isEmpty() || !isApostrophe(c))
                word.append(c);
            continue;
        }
        flush();
        if (endsSentence(c) && !words.back().isEmpty())
            words.append(QString());
    }
    flush();
    return words;
}

QString previousWord(const QString &text)
{
    qsizetype end = text.size();
    for (; end > 0 && !isWordCharacter(text.at(end - 1)); --end)
        if (endsSentence(text.at(end - 1)))
            return {};
    qsizetype start = end;
    while (start > 0 && isWordCharacter(text.at(start - 1)))
        --start;
    return sentenceWords(text.mid(start, end - start)).back();
}

} // namespace Words
