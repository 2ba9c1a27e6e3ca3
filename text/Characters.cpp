// SPDX-License-Identifier: GPL-3.0-or-later
#include "Characters.h"

namespace Characters {
namespace {

// The code point text[at] is part of; a lone half of a pair stays a surrogate, which is no
// letter.
char32_t codePointAt(QStringView text, qsizetype at)
{
    const QChar c = text.at(at);
    if (c.isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate())
        return QChar::surrogateToUcs4(c, text.at(at + 1));
    if (c.isLowSurrogate() && at > 0 && text.at(at - 1).isHighSurrogate())
        return QChar::surrogateToUcs4(text.at(at - 1), c);
    return c.unicode();
}

bool isWordCharacter(QStringView text, qsizetype at)
{
    const char32_t c = codePointAt(text, at);
    return QChar::isLetterOrNumber(c) || QChar::isMark(c) || c == U'_';
}

// Closing quotes and brackets stay with the sentence they close: "Stop!" he said.
bool isClosing(QChar c)
{
    return c == u'"' || isApostrophe(c) || c.category() == QChar::Punctuation_Close
        || c.category() == QChar::Punctuation_FinalQuote;
}

// Always followed by a name, so their full stop never ends a sentence.
bool isTitle(QStringView word)
{
    for (QStringView title : { u"mr", u"mrs", u"ms", u"dr", u"prof" })
        if (word.compare(title, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

bool isApostrophe(QChar c)
{
    return c == u'\'' || c == u'\u2019';
}

bool isInWord(QStringView text, qsizetype at)
{
    if (at < 0 || at >= text.size())
        return false;
    return isWordCharacter(text, at)
        || (isApostrophe(text.at(at)) && at > 0 && at + 1 < text.size()
            && isWordCharacter(text, at - 1) && isWordCharacter(text, at + 1));
}

bool endsSentence(QStringView text, qsizetype at)
{
    if (at < 0 || at >= text.size())
        return false;
    const QChar mark = text.at(at);
    if (mark != u'.' && mark != u'!' && mark != u'?')
        return false;
    qsizetype next = at + 1;
    while (next < text.size() && isClosing(text.at(next)))
        ++next;
    if (next < text.size() && !text.at(next).isSpace())
        return false;
    if (mark != u'.')
        return true;

    qsizetype start = at;
    while (start > 0 && text.at(start - 1).isLetter())
        --start;
    if (isTitle(text.sliced(start, at - start)))
        return false;
    const bool abbreviation = at - start == 1 && start >= 2 && text.at(start - 1) == u'.'
        && text.at(start - 2).isLetter();
    if (!abbreviation)
        return true;
    // "in the U.S. Then" ends there; "e.g. the" and an "e.g. " with nothing typed after it yet
    // read on.
    while (next < text.size() && text.at(next).isSpace())
        ++next;
    return next < text.size() && text.at(next).isUpper();
}

} // namespace Characters
