// SPDX-License-Identifier: GPL-3.0-or-later
#include "Words.h"

namespace {

// The word that ends before end, which moves to its start; empty where a sentence starts.
QString wordBefore(QStringView text, qsizetype &end)
{
    for (; end > 0 && !Characters::isInWord(text, end - 1); --end)
        if (Characters::endsSentence(text, end - 1))
            return {};
    const qsizetype wordEnd = end;
    while (end > 0 && Characters::isInWord(text, end - 1))
        --end;
    return Words::normalised(text.mid(end, wordEnd - end));
}

} // namespace

namespace Words {

QString normalised(QStringView word)
{
    return word.toString().toLower().replace(u'\u2019', u'\'');
}

QString trailingWord(const QString &text)
{
    qsizetype start = text.size();
    if (start > 1 && Characters::isApostrophe(text.back()) && Characters::isInWord(text, start - 2))
        --start;
    while (start > 0 && Characters::isInWord(text, start - 1))
        --start;
    return text.mid(start);
}

QList<QString> sentenceWords(const QString &text)
{
    QList<QString> words { QString() };
    forEach(text, [&](QStringView word, bool startsSentence) {
        if (startsSentence && !words.back().isEmpty())
            words.append(QString());
        words.append(normalised(word));
    });
    return words;
}

std::pair<QString, QString> previousTwoWords(const QString &text)
{
    qsizetype end = text.size();
    QString second = wordBefore(text, end);
    QString first = second.isEmpty() ? QString() : wordBefore(text, end);
    return { std::move(first), std::move(second) };
}

} // namespace Words
