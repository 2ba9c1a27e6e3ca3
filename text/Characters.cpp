// SPDX-License-Identifier: GPL-3.0-or-later
#include "Characters.h"

namespace Characters {

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c.isSurrogate() || c == u'_';
}

bool isApostrophe(QChar c)
{
    return c == u'\'' || c == u'\u2019';
}

bool isInWord(QStringView text, qsizetype at)
{
    if (at < 0 || at >= text.size())
        return false;
    const QChar c = text.at(at);
    return isWordCharacter(c)
        || (isApostrophe(c) && at > 0 && at + 1 < text.size() && isWordCharacter(text.at(at - 1))
            && isWordCharacter(text.at(at + 1)));
}

bool endsSentence(QChar c)
{
    return c == u'.' || c == u'!' || c == u'?';
}

} // namespace Characters
