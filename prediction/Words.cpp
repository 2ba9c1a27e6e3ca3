// SPDX-License-Identifier: GPL-3.0-or-later
#include "Words.h"

#include "Characters.h"

namespace {

QString normalised(QStringView word)
{
    return word.toString().toLower().replace(u'\u2019', u'\'');
}

} // namespace

namespace Words {

QString trailingWord(const QString &text)
{
    qsizetype start = text.size();
    if (start > 1 && Characters::isApostrophe(text.back())
        && Characters::isWordCharacter(text.at(start - 2)))
        --start;
    while (start > 0 && Characters::isInWord(text, start - 1))
        --start;
    return text.mid(start);
}

QList<QString> sentenceWords(const QString &text)
{
    QList<QString> words { QString() };
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (Characters::isInWord(text, i)) {
            if (start < 0)
                start = i;
            continue;
        }
        if (start >= 0)
            words.append(normalised(QStringView(text).mid(start, i - start)));
        start = -1;
        if (i < text.size() && Characters::endsSentence(text.at(i)) && !words.back().isEmpty())
            words.append(QString());
    }
    return words;
}

QString previousWord(const QString &text)
{
    qsizetype end = text.size();
    for (; end > 0 && !Characters::isInWord(text, end - 1); --end)
        if (Characters::endsSentence(text.at(end - 1)))
            return {};
    qsizetype start = end;
    while (start > 0 && Characters::isInWord(text, start - 1))
        --start;
    return normalised(QStringView(text).mid(start, end - start));
}

} // namespace Words
